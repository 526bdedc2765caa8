#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "util/sha256.h"

namespace orv {

// Largest installer the stub downloads, and the largest "size" a document may name.
inline constexpr uint64_t kMaxInstallerBytes = 4ull * 1024 * 1024 * 1024;

// Most addresses "mirrors" may list.
inline constexpr std::size_t kMaxMirrors = 8;

// A parsed configuration document. Every operation reports failure as a RunError::ConfigParse
// Status whose detail is the text the log gives ("Not an object", "wrapper not found", ...);
// none throws.
class ConfigDocument {
 public:
  ConfigDocument();
  ~ConfigDocument();
  ConfigDocument(const ConfigDocument&) = delete;
  ConfigDocument& operator=(const ConfigDocument&) = delete;

  // Fails, leaving nothing to read, on a syntax error (detail: the parser's message + " at line
  // L, column C", both from 1, the column counted in characters) and on containers nested deeper
  // than 32 levels. Otherwise the whole text is the document.
  [[nodiscard]] Status Parse(const std::wstring& text);

  // Typed reads of the keys "shortcut", "wrapper", "checksum" and "version". Fail with "Not an
  // object", "<key> not found", "Not a bool", "Not an unsigned integer" or "Not a string". The
  // checksum is the value's low 32 bits. A wrapper that is not an http(s) URL, and a version that
  // holds a double quote or a control character, ends in a backslash or is longer than 64
  // characters, are refused ("wrapper is not an http or https URL", "version holds a double
  // quote", ...).
  [[nodiscard]] Result<bool> ReadShortcut() const;
  [[nodiscard]] Result<std::wstring> ReadWrapper() const;
  [[nodiscard]] Result<uint32_t> ReadChecksum() const;
  [[nodiscard]] Result<std::wstring> ReadVersion() const;
  // Fails ("sha256 is not 64 hexadecimal digits") when "sha256" is there but is not a string of
  // exactly 64 hexadecimal digits (either case), and with "Not an object"; otherwise the digest,
  // or nullopt when the document has no "sha256".
  [[nodiscard]] Result<std::optional<Sha256Digest>> ReadSha256() const;
  // Fails ("size is not an unsigned integer", "size is 0" or "size is larger than 4 GiB") when
  // "size" is there but unusable; otherwise the installer's exact size in bytes, or nullopt when
  // there is no "size" (or no root object).
  [[nodiscard]] Result<std::optional<uint64_t>> ReadSize() const;
  // Fails ("mirrors is not an array", "mirrors holds more than 8 addresses", "mirror <n> is not a
  // string" or "mirror <n> is not an http or https URL", n from 1) when "mirrors" is there but
  // unusable; otherwise its addresses in order (possibly none), or nullopt when there is no
  // "mirrors" (or no root object).
  [[nodiscard]] Result<std::optional<std::vector<std::wstring>>> ReadMirrors() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orv
