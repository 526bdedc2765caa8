#include "download/urlmon_download.h"

#include "util/system_library.h"

namespace orv {

namespace {

using DownloadFunction = decltype(&::URLDownloadToFileW);

DownloadFunction LoadDownload() {
  DownloadFunction download = nullptr;
  if (!BindProcedure(LoadSystemLibrary(L"urlmon.dll"), "URLDownloadToFileW", download)) return nullptr;
  return download;
}

}  // namespace

HRESULT DownloadUrlToFile(const wchar_t* url, const wchar_t* path, IBindStatusCallback* callback) {
  static const DownloadFunction download = LoadDownload();
  if (download == nullptr) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
  return download(nullptr, url, path, 0, callback);
}

}  // namespace orv
