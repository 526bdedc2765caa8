#include "config/config_document.h"

struct ConfigDocument::Impl {};

ConfigDocument::ConfigDocument() : impl_(std::make_unique<Impl>()) {}
ConfigDocument::~ConfigDocument() = default;

bool ConfigDocument::Parse(const std::wstring&, std::string& error) {
  error = "not available";
  return false;
}
bool ConfigDocument::ReadShortcut(bool&, std::string& error) const { return error = "shortcut not found", false; }
bool ConfigDocument::ReadWrapper(std::wstring&, std::string& error) const { return error = "wrapper not found", false; }
bool ConfigDocument::ReadChecksum(uint32_t&, std::string& error) const { return error = "checksum not found", false; }
bool ConfigDocument::ReadVersion(std::wstring&, std::string& error) const { return error = "version not found", false; }
