#include "download/piece_writer.h"

namespace orv {

PieceWriter::PieceWriter(FileWriter& file, size_t pieceBytes, uint32_t holdMs)
    : file_(file), pieceBytes_(pieceBytes > 0 ? pieceBytes : 1), holdMs_(holdMs) {}

Status PieceWriter::Add(const void* data, size_t size, uint64_t nowMs) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    if (held_.empty()) {
      if (held_.capacity() < pieceBytes_) held_.reserve(pieceBytes_);
      firstHeldMs_ = nowMs;
    }
    const size_t room = pieceBytes_ - held_.size();
    const size_t taken = size < room ? size : room;
    held_.insert(held_.end(), bytes, bytes + taken);
    bytes += taken;
    size -= taken;
    if (held_.size() == pieceBytes_) {
      const Status written = Flush();
      if (!written.ok()) return written;
    }
  }
  if (!held_.empty() && nowMs >= firstHeldMs_ && nowMs - firstHeldMs_ >= holdMs_) return Flush();
  return Status();
}

Status PieceWriter::Flush() {
  if (held_.empty()) return Status();
  const Status written = file_.Append(held_.data(), held_.size());
  held_.clear();
  return written;
}

}  // namespace orv
