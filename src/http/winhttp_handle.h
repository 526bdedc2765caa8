#pragma once
#include <windows.h>
#include <winhttp.h>

#include "http/winhttp_api.h"

// Owns one WinHTTP handle (session, connection or request) and closes it once.
class WinHttpHandle {
 public:
  WinHttpHandle() = default;
  explicit WinHttpHandle(HINTERNET handle) : handle_(handle) {}
  ~WinHttpHandle() { reset(); }
  WinHttpHandle(const WinHttpHandle&) = delete;
  WinHttpHandle& operator=(const WinHttpHandle&) = delete;
  WinHttpHandle(WinHttpHandle&& other) noexcept : handle_(other.release()) {}
  WinHttpHandle& operator=(WinHttpHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  // The handle, still owned; null when none is held.
  HINTERNET get() const { return handle_; }
  // True when a handle is held.
  explicit operator bool() const { return handle_ != nullptr; }
  // Gives up ownership and returns the handle.
  HINTERNET release() {
    HINTERNET handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  // Closes the held handle, if any, and takes the new one.
  void reset(HINTERNET handle = nullptr) {
    if (handle_) WinHttp().CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HINTERNET handle_ = nullptr;
};

// Owns a string that WinHTTP allocated for the caller (proxy settings) and frees it with
// GlobalFree once.
class GlobalString {
 public:
  explicit GlobalString(LPWSTR text = nullptr) : text_(text) {}
  ~GlobalString() {
    if (text_) GlobalFree(text_);
  }
  GlobalString(const GlobalString&) = delete;
  GlobalString& operator=(const GlobalString&) = delete;

  // The string, still owned; null when none is held.
  LPWSTR get() const { return text_; }
  // True when a non-empty string is held.
  bool hasText() const { return text_ != nullptr && text_[0] != L'\0'; }

 private:
  LPWSTR text_;
};
