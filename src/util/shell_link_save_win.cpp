#include "util/shell_link_save.h"

#include <objbase.h>
#include <wrl/client.h>

#include "util/no_redirect_file.h"

namespace orv {

using Microsoft::WRL::ComPtr;

HRESULT SaveShellLinkNoRedirect(IUnknown* link, const wchar_t* path) {
  if (link == nullptr || path == nullptr || *path == L'\0') return E_INVALIDARG;
  // The link's bytes are made in memory, then written through a handle that was checked.
  ComPtr<IPersistStream> persist;
  HRESULT result = link->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(persist.GetAddressOf()));
  if (FAILED(result)) return result;
  ComPtr<IStream> stream;
  result = CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf());
  if (FAILED(result)) return result;
  result = persist->Save(stream.Get(), TRUE);
  if (FAILED(result)) return result;
  STATSTG stat{};
  result = stream->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(result)) return result;
  HGLOBAL memory = nullptr;
  result = GetHGlobalFromStream(stream.Get(), &memory);
  if (FAILED(result)) return result;
  const void* bytes = GlobalLock(memory);
  if (bytes == nullptr) return HRESULT_FROM_WIN32(GetLastError());
  const bool written = ReplaceFileNoRedirect(path, bytes, static_cast<size_t>(stat.cbSize.QuadPart));
  const DWORD error = GetLastError();
  GlobalUnlock(memory);
  SetLastError(error);
  return written ? S_OK : HRESULT_FROM_WIN32(error);
}

}  // namespace orv
