// The yardstick of the download's speed: bare_download.exe <http url> <new file>
// A synchronous WinHTTP loop of 64 KiB reads, without the stub's checks, that writes the file the
// way the stub does: created new with read sharing only, written in 1 MiB pieces. Prints
// "result=done size=<bytes> ms=<milliseconds>" (or "result=failed step=<call> code=<error>").
#include <windows.h>
#include <winhttp.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/unique_handle.h"
#include "http/winhttp_api.h"
#include "http/winhttp_handle.h"

#include "speed_common.h"

namespace {
using namespace orv;

int Failed(const char* step) {
  std::printf("result=failed step=%s code=%lu\n", step, GetLastError());
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  const std::wstring url = argv[1];
  const double started = speed::Seconds();
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  if (!WinHttp().loaded || !WinHttp().CrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) {
    return Failed("WinHttpCrackUrl");
  }
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  const std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
  const WinHttpHandle session(WinHttp().Open(L"OrvandelSetup", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                             WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return Failed("WinHttpOpen");
  const WinHttpHandle connection(WinHttp().Connect(session.get(), host.c_str(), parts.nPort, 0));
  if (!connection) return Failed("WinHttpConnect");
  const WinHttpHandle request(WinHttp().OpenRequest(connection.get(), L"GET", path.c_str(), nullptr,
                                                    WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
  if (!request) return Failed("WinHttpOpenRequest");
  if (!WinHttp().SendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttp().ReceiveResponse(request.get(), nullptr)) {
    return Failed("WinHttpSendRequest");
  }
  const UniqueHandle file{CreateFileW(argv[2], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (!file) return Failed("CreateFileW");
  constexpr DWORD kRead = 64 * 1024;
  constexpr size_t kPiece = 1024 * 1024;
  std::vector<unsigned char> piece(kPiece);
  size_t held = 0;
  unsigned long long size = 0;
  for (;;) {
    DWORD read = 0;
    if (!WinHttp().ReadData(request.get(), piece.data() + held, static_cast<DWORD>(kPiece - held < kRead ? kPiece - held : kRead),
                            &read)) {
      return Failed("WinHttpReadData");
    }
    held += read;
    size += read;
    if (held == kPiece || (read == 0 && held > 0)) {
      DWORD written = 0;
      if (!WriteFile(file.get(), piece.data(), static_cast<DWORD>(held), &written, nullptr) || written != held) {
        return Failed("WriteFile");
      }
      held = 0;
    }
    if (read == 0) break;
  }
  std::printf("result=done size=%llu ms=%.0f\n", size, (speed::Seconds() - started) * 1000);
  return 0;
}
