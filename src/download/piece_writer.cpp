#include "download/piece_writer.h"

#include <cstring>

namespace orv {

PieceWriter::PieceWriter(FileWriter& file, size_t pieceBytes, uint32_t holdMs)
    : file_(file), pieceBytes_(pieceBytes > 0 ? pieceBytes : 1), holdMs_(holdMs) {}

Status PieceWriter::Add(const void* data, size_t size, uint64_t nowMs) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    if (held_ == 0) {
      if (!piece_) piece_.reset(new unsigned char[pieceBytes_]);
      firstHeldMs_ = nowMs;
    }
    const size_t room = pieceBytes_ - held_;
    const size_t taken = size < room ? size : room;
    std::memcpy(piece_.get() + held_, bytes, taken);
    held_ += taken;
    bytes += taken;
    size -= taken;
    if (held_ == pieceBytes_) {
      const Status written = Flush();
      if (!written.ok()) return written;
    }
  }
  if (held_ > 0 && nowMs >= firstHeldMs_ && nowMs - firstHeldMs_ >= holdMs_) return Flush();
  return Status();
}

Status PieceWriter::Flush() {
  if (held_ == 0) return Status();
  const size_t size = held_;
  held_ = 0;
  return file_.Append(piece_.get(), size);
}

}  // namespace orv
