#include "config/config_document.h"

#include <cstddef>
#include <new>
#include <string_view>

#include <nlohmann/json.hpp>

#include "text/utf8.h"
#include "text/web_address.h"

namespace orv {

using Json = nlohmann::json;

namespace {

// Containers nested deeper than this are refused: the document is one flat object, and the
// limit keeps a hostile text from building an arbitrarily deep tree.
constexpr int kMaxNesting = 32;
// The parser's detail text is cut to this many bytes in the error text (it can quote a long token).
constexpr std::size_t kMaxDetailBytes = 160;
// "version" goes between double quotes on the installer's command line.
constexpr std::size_t kMaxVersionLength = 64;

struct NestingTooDeep {};

// Line and column (both from 1, the column counted in characters) of the byte at index
// offset - 1 of the UTF-8 text; offset is the parser's 1-based count of bytes read, which can be
// one past the end when the text ended early.
void LineAndColumn(std::string_view utf8, std::size_t offset, std::size_t& line, std::size_t& column) {
  const std::size_t end = offset == 0 ? 0 : (offset - 1 < utf8.size() ? offset - 1 : utf8.size());
  line = 1;
  column = 1;
  for (std::size_t i = 0; i < end; ++i) {
    const unsigned char byte = static_cast<unsigned char>(utf8[i]);
    if (byte == '\n') {
      ++line;
      column = 1;
    } else if ((byte & 0xC0) != 0x80) {
      ++column;
    }
  }
}

// The parser's own words for a syntax error, without its "[json.exception...] parse error at
// line L, column C: " lead-in (the position is given in characters instead); cut to a
// readable length and kept valid UTF-8.
std::string ParserDetail(const char* what) {
  std::string_view text(what);
  const std::size_t lead = text.find("parse error");
  if (lead != std::string_view::npos) {
    const std::size_t colon = text.find(": ", lead);
    if (colon != std::string_view::npos) text.remove_prefix(colon + 2);
  }
  std::string detail(text.substr(0, kMaxDetailBytes));
  if (text.size() > kMaxDetailBytes) detail += "...";
  return ToUtf8(FromUtf8(detail));
}

// Why a version cannot go onto the installer's command line, or null when it can.
const char* VersionProblem(std::wstring_view version) {
  if (version.size() > kMaxVersionLength) return "is longer than 64 characters";
  for (const wchar_t c : version) {
    if (c == L'"') return "holds a double quote";
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return "holds a control character";
  }
  // A backslash before the closing quote would escape it and merge the following arguments.
  if (!version.empty() && version.back() == L'\\') return "ends in a backslash";
  return nullptr;
}

}  // namespace

struct ConfigDocument::Impl {
  Json root;  // null until a successful Parse

  // The member named key of the root object, or null with error set.
  const Json* Member(const char* key, std::string& error) const {
    if (!root.is_object()) {
      error = "Not an object";
      return nullptr;
    }
    const auto found = root.find(key);
    if (found == root.end()) {
      error = std::string(key) + " not found";
      return nullptr;
    }
    return &*found;
  }

  bool ReadString(const char* key, std::wstring& value, std::string& error) const {
    const Json* member = Member(key, error);
    if (!member) return false;
    if (!member->is_string()) {
      error = "Not a string";
      return false;
    }
    value = FromUtf8(member->get_ref<const std::string&>());
    return true;
  }
};

ConfigDocument::ConfigDocument() : impl_(std::make_unique<Impl>()) {}
ConfigDocument::~ConfigDocument() = default;

bool ConfigDocument::Parse(const std::wstring& text, std::string& error) {
  impl_->root = Json();
  std::string utf8;
  try {
    utf8 = ToUtf8(text);
    const auto limitNesting = [](int depth, Json::parse_event_t event, Json&) {
      if ((event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start) &&
          depth >= kMaxNesting) {
        throw NestingTooDeep{};
      }
      return true;
    };
    impl_->root = Json::parse(utf8, limitNesting, /*allow_exceptions=*/true, /*ignore_comments=*/true);
    return true;
  } catch (const Json::parse_error& e) {
    std::size_t line = 0;
    std::size_t column = 0;
    LineAndColumn(utf8, e.byte, line, column);
    error = ParserDetail(e.what()) + " at line " + std::to_string(line) + ", column " + std::to_string(column);
  } catch (const NestingTooDeep&) {
    error = "Containers nested deeper than " + std::to_string(kMaxNesting) + " levels";
  } catch (const Json::exception& e) {
    error = e.what();
  } catch (const std::bad_alloc&) {
    error = "Out of memory while parsing";
  }
  impl_->root = Json();
  return false;
}

bool ConfigDocument::ReadShortcut(bool& value, std::string& error) const {
  const Json* member = impl_->Member("shortcut", error);
  if (!member) return false;
  if (!member->is_boolean()) {
    error = "Not a bool";
    return false;
  }
  value = member->get<bool>();
  return true;
}

bool ConfigDocument::ReadWrapper(std::wstring& value, std::string& error) const {
  std::wstring url;
  if (!impl_->ReadString("wrapper", url, error)) return false;
  if (!IsWebUrl(url)) {
    error = "wrapper is not an http or https URL";
    return false;
  }
  value = std::move(url);
  return true;
}

bool ConfigDocument::ReadChecksum(uint32_t& value, std::string& error) const {
  const Json* member = impl_->Member("checksum", error);
  if (!member) return false;
  // Integers beyond 64 bits and fractions are stored as floating point, negative ones as signed;
  // "-0" is a signed zero and still an unsigned value.
  const bool unsignedValue =
      member->is_number_unsigned() || (member->is_number_integer() && member->get<int64_t>() == 0);
  if (!unsignedValue) {
    error = "Not an unsigned integer";
    return false;
  }
  value = static_cast<uint32_t>(member->get<uint64_t>() & 0xFFFFFFFFu);
  return true;
}

bool ConfigDocument::ReadVersion(std::wstring& value, std::string& error) const {
  std::wstring version;
  if (!impl_->ReadString("version", version, error)) return false;
  if (const char* problem = VersionProblem(version)) {
    error = std::string("version ") + problem;
    return false;
  }
  value = std::move(version);
  return true;
}

bool ConfigDocument::ReadSha256(std::optional<Sha256Digest>& value, std::string& error) const {
  if (!impl_->root.is_object()) {
    error = "Not an object";
    return false;
  }
  const auto found = impl_->root.find("sha256");
  if (found == impl_->root.end()) {
    value.reset();
    return true;
  }
  Sha256Digest digest{};
  if (!found->is_string() || !ParseSha256Hex(FromUtf8(found->get_ref<const std::string&>()), digest)) {
    error = "sha256 is not 64 hexadecimal digits";
    return false;
  }
  value = digest;
  return true;
}

bool ConfigDocument::ReadSize(std::optional<uint64_t>& value, std::string& error) const {
  if (!impl_->root.is_object()) {
    value.reset();
    return true;
  }
  const auto found = impl_->root.find("size");
  if (found == impl_->root.end()) {
    value.reset();
    return true;
  }
  if (!found->is_number_unsigned()) {
    error = "size is not an unsigned integer";
    return false;
  }
  const uint64_t size = found->get<uint64_t>();
  if (size == 0) {
    error = "size is 0";
    return false;
  }
  if (size > kMaxInstallerBytes) {
    error = "size is larger than 4 GiB";
    return false;
  }
  value = size;
  return true;
}

bool ConfigDocument::ReadMirrors(std::optional<std::vector<std::wstring>>& value, std::string& error) const {
  if (!impl_->root.is_object()) {
    value.reset();
    return true;
  }
  const auto found = impl_->root.find("mirrors");
  if (found == impl_->root.end()) {
    value.reset();
    return true;
  }
  if (!found->is_array()) {
    error = "mirrors is not an array";
    return false;
  }
  if (found->size() > kMaxMirrors) {
    error = "mirrors holds more than " + std::to_string(kMaxMirrors) + " addresses";
    return false;
  }
  std::vector<std::wstring> mirrors;
  for (const Json& entry : *found) {
    const std::string number = std::to_string(mirrors.size() + 1);
    if (!entry.is_string()) {
      error = "mirror " + number + " is not a string";
      return false;
    }
    std::wstring url = FromUtf8(entry.get_ref<const std::string&>());
    if (!IsWebUrl(url)) {
      error = "mirror " + number + " is not an http or https URL";
      return false;
    }
    mirrors.push_back(std::move(url));
  }
  value = std::move(mirrors);
  return true;
}

bool ReadDownloadSize(const std::wstring& configText, std::optional<uint64_t>& size, std::string& error) {
  size.reset();
  ConfigDocument document;
  if (!document.Parse(configText, error)) return false;
  return document.ReadSize(size, error);
}

}  // namespace orv
