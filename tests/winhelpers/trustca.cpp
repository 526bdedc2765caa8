// Adds a DER certificate to this prefix's trusted root store: trustca.exe <file.der>
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cwchar>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fwprintf(stderr, L"usage: trustca FILE.der\n");
    return 2;
  }
  FILE* file = _wfopen(argv[1], L"rb");
  if (!file) {
    std::fwprintf(stderr, L"cannot open %ls\n", argv[1]);
    return 1;
  }
  std::vector<BYTE> der;
  BYTE buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) der.insert(der.end(), buffer, buffer + got);
  std::fclose(file);
  if (!CertAddEncodedCertificateToSystemStoreW(L"Root", der.data(), static_cast<DWORD>(der.size()))) {
    std::fwprintf(stderr, L"CertAddEncodedCertificateToSystemStoreW failed: %lu\n", GetLastError());
    return 1;
  }
  return 0;
}
