#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "util/file_sums.h"

namespace orv {

// What a configuration document is made of.
struct DocumentRequest {
  bool shortcut = true;
  std::string wrapper;  // UTF-8
  std::string version;  // UTF-8
  FileSums installer;   // the installer's size, CRC-32 and SHA-256
  std::vector<std::string> mirrors = {};  // UTF-8; further addresses of the installer, in order
  std::string product = {};               // UTF-8; "" for none
  std::optional<uint64_t> serial = {};
  std::optional<int64_t> expires = {};    // seconds since 1970 (UTC)
};

// False with error set (one line) when the stub would refuse the document: "wrapper is not valid
// UTF-8" (or "mirror <n> is not valid UTF-8"), or the stub's own log line "Error parsing file.
// Error: <reason>". Otherwise true with text = the document (keys "shortcut", "wrapper", "checksum",
// "version", "sha256", "size", then "mirrors", "product", "serial" and "expires" when the request
// has them; UTF-8, ending in a newline), which
// the stub reads back to exactly request's values.
[[nodiscard]] bool MakeDocument(const DocumentRequest& request, std::string& text, std::string& error);

}  // namespace orv
