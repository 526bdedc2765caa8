#include "main/installer_download.h"

HRESULT DownloadInstaller(const std::wstring&, const wchar_t*) { return E_NOTIMPL; }
