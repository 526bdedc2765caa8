#include "publish/document_maker.h"

#include <nlohmann/json.hpp>

#include "config/config_freshness.h"
#include "publish/stub_verdict.h"
#include "text/utf8.h"

namespace orv {

namespace {

bool IsUtf8(const std::string& text) { return ToUtf8(FromUtf8(text)) == text; }

}  // namespace

bool MakeDocument(const DocumentRequest& request, std::string& text, std::string& error) {
  for (const auto& field : {std::make_pair("wrapper", &request.wrapper), std::make_pair("version", &request.version),
                            std::make_pair("product", &request.product)}) {
    if (!IsUtf8(*field.second)) {
      error = std::string(field.first) + " is not valid UTF-8";
      return false;
    }
  }
  std::vector<std::wstring> mirrors;
  for (const std::string& mirror : request.mirrors) {
    if (!IsUtf8(mirror)) {
      error = "mirror " + std::to_string(mirrors.size() + 1) + " is not valid UTF-8";
      return false;
    }
    mirrors.push_back(FromUtf8(mirror));
  }
  nlohmann::ordered_json document;
  document["shortcut"] = request.shortcut;
  document["wrapper"] = request.wrapper;
  document["checksum"] = request.installer.crc32;
  document["version"] = request.version;
  document["sha256"] = Sha256Hex(request.installer.sha256);
  document["size"] = request.installer.size;
  if (!request.mirrors.empty()) document["mirrors"] = request.mirrors;
  if (!request.product.empty()) document["product"] = request.product;
  if (request.serial) document["serial"] = *request.serial;
  if (request.expires) document["expires"] = FormatUtcTime(*request.expires);
  const std::string made = document.dump(2) + "\n";

  StubConfig read;
  const StubVerdict verdict = JudgeDocument(made, read);
  if (verdict.code != 0) {
    error = verdict.reason;
    return false;
  }
  const bool same = read.shortcut == request.shortcut && read.wrapper == FromUtf8(request.wrapper) &&
                    read.checksum == request.installer.crc32 && read.version == FromUtf8(request.version) &&
                    read.sha256 == request.installer.sha256 && read.size == request.installer.size &&
                    read.mirrors == mirrors &&
                    read.product == (request.product.empty() ? std::nullopt : std::optional(FromUtf8(request.product))) &&
                    read.serial == request.serial && read.expires == request.expires;
  if (!same) {
    error = "the document does not read back as written";
    return false;
  }
  text = made;
  return true;
}

}  // namespace orv
