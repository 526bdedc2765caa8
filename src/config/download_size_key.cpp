#include "config/download_size_key.h"

#include <new>

#include <nlohmann/json.hpp>

#include "http/download_size_limit.h"
#include "util/utf8.h"

bool ReadDownloadSize(const std::wstring& configText, std::optional<uint64_t>& size, std::string& error) {
  using Json = nlohmann::json;
  size.reset();
  try {
    const Json root = Json::parse(ToUtf8(configText), nullptr, /*allow_exceptions=*/true, /*ignore_comments=*/true);
    if (!root.is_object()) return true;
    const auto key = root.find("size");
    if (key == root.end()) return true;
    if (!key->is_number_unsigned()) {
      error = "size is not an unsigned integer";
      return false;
    }
    const uint64_t value = key->get<uint64_t>();
    if (value == 0) {
      error = "size is 0";
      return false;
    }
    if (value > kMaxInstallerBytes) {
      error = "size is larger than 4 GiB";
      return false;
    }
    size = value;
    return true;
  } catch (const Json::exception& e) {
    error = e.what();
  } catch (const std::bad_alloc&) {
    error = "Out of memory while parsing";
  }
  return false;
}
