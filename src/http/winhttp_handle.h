#pragma once
#include <windows.h>
#include <winhttp.h>

#include "base/unique_resource.h"
#include "http/winhttp_api.h"

namespace orv {

// WinHTTP handles (session, connection or request): closed with WinHttpCloseHandle.
struct WinHttpHandleTraits {
  using Handle = HINTERNET;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle handle) { return handle != nullptr; }
  static void Close(Handle handle) { WinHttp().CloseHandle(handle); }
};

// Owns one WinHTTP handle and closes it once.
using WinHttpHandle = UniqueResource<WinHttpHandleTraits>;

// Strings that WinHTTP allocates for the caller (proxy settings): freed with GlobalFree.
struct GlobalStringTraits {
  using Handle = LPWSTR;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle text) { return text != nullptr; }
  static void Close(Handle text) { GlobalFree(text); }
};

// Owns a string that WinHTTP allocated and frees it once.
using GlobalString = UniqueResource<GlobalStringTraits>;

// True when text holds a non-empty string.
inline bool HasText(const GlobalString& text) { return text && text.get()[0] != L'\0'; }

}  // namespace orv
