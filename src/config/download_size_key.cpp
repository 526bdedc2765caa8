#include "config/download_size_key.h"

#include "config/config_document.h"

namespace orv {

bool ReadDownloadSize(const std::wstring& configText, std::optional<uint64_t>& size, std::string& error) {
  size.reset();
  ConfigDocument document;
  if (!document.Parse(configText, error)) return false;
  return document.ReadSize(size, error);
}

}  // namespace orv
