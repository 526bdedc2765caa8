#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/sha256.h"

namespace orv {

// Largest installer the stub downloads, and the largest "size" a document may name.
inline constexpr uint64_t kMaxInstallerBytes = 4ull * 1024 * 1024 * 1024;

// Most addresses "mirrors" may list.
inline constexpr std::size_t kMaxMirrors = 8;

// A parsed configuration document. Every operation reports failure through its result and an
// error text meant for the log ("Not an object", "wrapper not found", ...); none throws.
class ConfigDocument {
 public:
  ConfigDocument();
  ~ConfigDocument();
  ConfigDocument(const ConfigDocument&) = delete;
  ConfigDocument& operator=(const ConfigDocument&) = delete;

  // Parses the whole text as one JSON document (comments allowed). On a syntax error returns
  // false with error = the parser's message + " at line L, column C" (both from 1, the column
  // counted in characters); containers nested deeper than 32 levels are refused too.
  [[nodiscard]] bool Parse(const std::wstring& text, std::string& error);

  // Typed reads of the keys "shortcut", "wrapper", "checksum" and "version". On failure return
  // false with error set ("Not an object", "<key> not found", "Not a bool", "Not an unsigned
  // integer", "Not a string") and leave value unchanged. The checksum is the value's low 32 bits.
  // A wrapper that is not an http(s) URL, and a version that holds a double quote or a control
  // character, ends in a backslash or is longer than 64 characters, are refused
  // ("wrapper is not an http or https URL", "version holds a double quote", ...).
  [[nodiscard]] bool ReadShortcut(bool& value, std::string& error) const;
  [[nodiscard]] bool ReadWrapper(std::wstring& value, std::string& error) const;
  [[nodiscard]] bool ReadChecksum(uint32_t& value, std::string& error) const;
  [[nodiscard]] bool ReadVersion(std::wstring& value, std::string& error) const;
  // False (error "sha256 is not 64 hexadecimal digits", value unchanged) when "sha256" is there
  // but is not a string of exactly 64 hexadecimal digits (either case); otherwise true with value
  // = the digest, or nullopt when the document has no "sha256".
  [[nodiscard]] bool ReadSha256(std::optional<Sha256Digest>& value, std::string& error) const;
  // False (error "size is not an unsigned integer", "size is 0" or "size is larger than 4 GiB",
  // value unchanged) when "size" is there but unusable; otherwise true with value = the
  // installer's exact size in bytes, or nullopt when there is no "size" (or no root object).
  [[nodiscard]] bool ReadSize(std::optional<uint64_t>& value, std::string& error) const;
  // False (error "mirrors is not an array", "mirrors holds more than 8 addresses", "mirror <n> is
  // not a string" or "mirror <n> is not an http or https URL", n from 1; value unchanged) when
  // "mirrors" is there but unusable; otherwise true with value = its addresses in order (possibly
  // none), or nullopt when there is no "mirrors" (or no root object).
  [[nodiscard]] bool ReadMirrors(std::optional<std::vector<std::wstring>>& value, std::string& error) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// False, size empty, error set (ConfigDocument::Parse's error, or ConfigDocument::ReadSize's)
// when configText does not parse or its "size" is unusable; else true with size = the
// installer's exact size in bytes, empty when the key (or a root object) is missing.
[[nodiscard]] bool ReadDownloadSize(const std::wstring& configText, std::optional<uint64_t>& size,
                                    std::string& error);

}  // namespace orv
