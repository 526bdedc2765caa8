#include "config/stub_config.h"

#include <utility>

#include "config/config_document.h"
#include "config/download_size_key.h"

bool ReadStubConfig(const std::wstring& text, StubConfig& config, std::string& error) {
  ConfigDocument document;
  if (!document.Parse(text, error)) return false;
  StubConfig read;
  if (!document.ReadShortcut(read.shortcut, error) || !document.ReadWrapper(read.wrapper, error) ||
      !document.ReadChecksum(read.checksum, error) || !document.ReadVersion(read.version, error) ||
      !ReadDownloadSize(text, read.size, error)) {
    return false;
  }
  config = std::move(read);
  return true;
}
