#include "config/config_document.h"

#include <cstddef>
#include <new>
#include <string_view>
#include <utility>

#include <nlohmann/json.hpp>

#include "contract/run_error.h"
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

// A document the run cannot use, and why.
Status Refused(std::string reason) { return Status::Error(RunError::ConfigParse, std::move(reason)); }

}  // namespace

struct ConfigDocument::Impl {
  Json root;  // null until a successful Parse

  // The member named key of the root object.
  Result<const Json*> Member(const char* key) const {
    if (!root.is_object()) return Refused("Not an object");
    const auto found = root.find(key);
    if (found == root.end()) return Refused(std::string(key) + " not found");
    return &*found;
  }

  Result<std::wstring> ReadString(const char* key) const {
    const Result<const Json*> member = Member(key);
    if (!member.ok()) return member.status();
    if (!(*member)->is_string()) return Refused("Not a string");
    return FromUtf8((*member)->get_ref<const std::string&>());
  }

  // The member named key of the root object when there is one; nullopt without it or without a
  // root object.
  std::optional<Json::const_iterator> Optional(const char* key) const {
    if (!root.is_object()) return std::nullopt;
    const auto found = root.find(key);
    if (found == root.end()) return std::nullopt;
    return found;
  }
};

ConfigDocument::ConfigDocument() : impl_(std::make_unique<Impl>()) {}
ConfigDocument::~ConfigDocument() = default;

Status ConfigDocument::Parse(const std::wstring& text) {
  impl_->root = Json();
  std::string utf8;
  std::string error;
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
    return {};
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
  return Refused(std::move(error));
}

Result<bool> ConfigDocument::ReadShortcut() const {
  const Result<const Json*> member = impl_->Member("shortcut");
  if (!member.ok()) return member.status();
  if (!(*member)->is_boolean()) return Refused("Not a bool");
  return (*member)->get<bool>();
}

Result<std::wstring> ConfigDocument::ReadWrapper() const {
  Result<std::wstring> url = impl_->ReadString("wrapper");
  if (url.ok() && !IsWebUrl(*url)) return Refused("wrapper is not an http or https URL");
  return url;
}

Result<uint32_t> ConfigDocument::ReadChecksum() const {
  const Result<const Json*> member = impl_->Member("checksum");
  if (!member.ok()) return member.status();
  const Json& value = **member;
  // Integers beyond 64 bits and fractions are stored as floating point, negative ones as signed;
  // "-0" is a signed zero and still an unsigned value.
  const bool unsignedValue = value.is_number_unsigned() || (value.is_number_integer() && value.get<int64_t>() == 0);
  if (!unsignedValue) return Refused("Not an unsigned integer");
  return static_cast<uint32_t>(value.get<uint64_t>() & 0xFFFFFFFFu);
}

Result<std::wstring> ConfigDocument::ReadVersion() const {
  Result<std::wstring> version = impl_->ReadString("version");
  if (!version.ok()) return version;
  if (const char* problem = VersionProblem(*version)) return Refused(std::string("version ") + problem);
  return version;
}

Result<std::optional<Sha256Digest>> ConfigDocument::ReadSha256() const {
  if (!impl_->root.is_object()) return Refused("Not an object");
  const std::optional<Json::const_iterator> found = impl_->Optional("sha256");
  if (!found) return std::optional<Sha256Digest>();
  Sha256Digest digest{};
  if (!(*found)->is_string() || !ParseSha256Hex(FromUtf8((*found)->get_ref<const std::string&>()), digest)) {
    return Refused("sha256 is not 64 hexadecimal digits");
  }
  return std::optional<Sha256Digest>(digest);
}

Result<std::optional<uint64_t>> ConfigDocument::ReadSize() const {
  const std::optional<Json::const_iterator> found = impl_->Optional("size");
  if (!found) return std::optional<uint64_t>();
  if (!(*found)->is_number_unsigned()) return Refused("size is not an unsigned integer");
  const uint64_t size = (*found)->get<uint64_t>();
  if (size == 0) return Refused("size is 0");
  if (size > kMaxInstallerBytes) return Refused("size is larger than 4 GiB");
  return std::optional<uint64_t>(size);
}

Result<std::optional<std::vector<std::wstring>>> ConfigDocument::ReadMirrors() const {
  const std::optional<Json::const_iterator> found = impl_->Optional("mirrors");
  if (!found) return std::optional<std::vector<std::wstring>>();
  const Json& list = **found;
  if (!list.is_array()) return Refused("mirrors is not an array");
  if (list.size() > kMaxMirrors) return Refused("mirrors holds more than " + std::to_string(kMaxMirrors) + " addresses");
  std::vector<std::wstring> mirrors;
  for (const Json& entry : list) {
    const std::string number = std::to_string(mirrors.size() + 1);
    if (!entry.is_string()) return Refused("mirror " + number + " is not a string");
    std::wstring url = FromUtf8(entry.get_ref<const std::string&>());
    if (!IsWebUrl(url)) return Refused("mirror " + number + " is not an http or https URL");
    mirrors.push_back(std::move(url));
  }
  return std::optional<std::vector<std::wstring>>(std::move(mirrors));
}

}  // namespace orv
