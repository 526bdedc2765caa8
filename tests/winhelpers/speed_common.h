#pragma once
// What the speed helpers share: a clock, their bytes, and a file of those bytes.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "base/unique_handle.h"

namespace speed {

// Seconds on the performance counter.
inline double Seconds() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The MiB count given as the first argument, 256 without one.
inline size_t MebibytesArgument(int argc, wchar_t** argv) {
  return argc > 1 ? std::wcstoul(argv[1], nullptr, 10) : 256;
}

// size bytes of the same pseudo-random sequence in every run.
inline std::vector<uint8_t> Bytes(size_t size) {
  std::vector<uint8_t> buffer(size);
  uint32_t state = 12345;
  for (uint8_t& b : buffer) {
    state = state * 1103515245u + 12345u;
    b = static_cast<uint8_t>(state >> 24);
  }
  return buffer;
}

// Empty when the file cannot be written; otherwise the path of the file named name in the
// temporary folder, holding bytes.
inline std::wstring WriteTemporaryFile(const wchar_t* name, const std::vector<uint8_t>& bytes) {
  wchar_t folder[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, folder);
  const std::wstring path = std::wstring(folder) + name;
  const orv::UniqueHandle out{
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
  DWORD written = 0;
  if (!out || !WriteFile(out.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size()) {
    std::printf("cannot write %ls\n", path.c_str());
    return {};
  }
  return path;
}

}  // namespace speed
