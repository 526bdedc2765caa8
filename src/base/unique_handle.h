#pragma once
#include <windows.h>

#include "base/unique_resource.h"

namespace orv {

// Kernel handles: null and INVALID_HANDLE_VALUE both mean "no handle"; closed with CloseHandle.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) { CloseHandle(handle); }
};

// Owns a kernel handle and closes it once.
using UniqueHandle = UniqueResource<KernelHandleTraits>;

// Memory the system allocated with LocalAlloc for the caller (security descriptors, texts).
struct LocalMemoryTraits {
  using Handle = void*;
  static Handle Null() { return nullptr; }
  static bool IsValid(Handle memory) { return memory != nullptr; }
  static void Close(Handle memory) { LocalFree(memory); }
};

// Owns LocalAlloc memory and frees it once.
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;

}  // namespace orv
