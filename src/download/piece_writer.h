#pragma once
// The body's bytes gathered into large pieces before they reach the download file: one write per
// piece instead of one per read, and no byte held longer than a given time, so that a slow link's
// bytes still reach the file as they arrive.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/status.h"
#include "held_files/file_writer.h"

namespace orv {

class PieceWriter {
 public:
  // Pieces of pieceBytes (at least 1) into file; bytes held at most holdMs.
  PieceWriter(FileWriter& file, size_t pieceBytes, uint32_t holdMs);
  PieceWriter(const PieceWriter&) = delete;
  PieceWriter& operator=(const PieceWriter&) = delete;

  // A failure from the file when a piece cannot be written (what it held then is dropped).
  // Otherwise the size bytes at data are taken at nowMs (a millisecond clock) and every full piece,
  // or all that is held once its first byte has waited holdMs, is written.
  [[nodiscard]] Status Add(const void* data, size_t size, uint64_t nowMs);

  // A failure from the file when what is held cannot be written (it is dropped). Otherwise the file
  // holds every byte added.
  [[nodiscard]] Status Flush();

  // Bytes added and not yet in the file.
  size_t held() const { return held_; }

 private:
  FileWriter& file_;
  size_t pieceBytes_;
  uint64_t holdMs_;
  std::unique_ptr<unsigned char[]> piece_;  // made at the first byte
  size_t held_ = 0;
  uint64_t firstHeldMs_ = 0;
};

}  // namespace orv
