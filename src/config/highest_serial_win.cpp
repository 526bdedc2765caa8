#include "config/highest_serial.h"

#include <windows.h>

#include "base/unique_resource.h"

namespace orv {
namespace {

struct RegistryKeyTraits {
  using Handle = HKEY;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { RegCloseKey(h); }
};
using UniqueRegistryKey = UniqueResource<RegistryKeyTraits>;

constexpr wchar_t kValueName[] = L"ConfigSerial";

}  // namespace

std::wstring HighestSerialKey(const std::wstring& product) { return L"SOFTWARE\\Orvandel\\Setup\\" + product; }

Result<std::optional<uint64_t>> ReadHighestSerial(const std::wstring& product) {
  UniqueRegistryKey key;
  LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, HighestSerialKey(product).c_str(), 0,
                              KEY_QUERY_VALUE | KEY_WOW64_32KEY, key.out());
  if (status == ERROR_FILE_NOT_FOUND) return std::optional<uint64_t>();
  if (status != ERROR_SUCCESS) return Status::Failure(static_cast<uint32_t>(status), "Cannot open the key of ConfigSerial");
  DWORD type = 0;
  uint64_t value = 0;
  DWORD size = sizeof(value);
  status = RegQueryValueExW(key.get(), kValueName, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  if (status == ERROR_FILE_NOT_FOUND) return std::optional<uint64_t>();
  if (status != ERROR_SUCCESS) return Status::Failure(static_cast<uint32_t>(status), "Cannot read ConfigSerial");
  if (type != REG_QWORD || size != sizeof(value)) {
    return Status::Failure(ERROR_INVALID_DATA, "ConfigSerial is not a REG_QWORD");
  }
  return std::optional<uint64_t>(value);
}

Status WriteHighestSerial(const std::wstring& product, uint64_t serial) {
  UniqueRegistryKey key;
  LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, HighestSerialKey(product).c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, key.out(), nullptr);
  if (status != ERROR_SUCCESS) return Status::Failure(static_cast<uint32_t>(status), "Cannot create the key of ConfigSerial");
  status = RegSetValueExW(key.get(), kValueName, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&serial), sizeof(serial));
  if (status != ERROR_SUCCESS) return Status::Failure(static_cast<uint32_t>(status), "Cannot write ConfigSerial");
  return {};
}

}  // namespace orv
