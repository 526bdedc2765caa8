#pragma once
#include <windows.h>

#include <string>

#include "launch/signature_reading.h"

namespace orv {

// How a run reads the signature of a file it holds open (ReadFileSignature, or a stand-in).
using SignatureReader = SignatureReading (*)(HANDLE file, const std::wstring& path);

// A failed trustResult (the load error as an HRESULT when System32's wintrust.dll is unusable)
// unless the platform trusts the Authenticode signature of the file open as file (path names the
// same file; the bytes are read through file): then 0, and the signer's certificate hash when known.
// Verified as the platform's generic policy does, revocation as its own settings ask, without UI.
SignatureReading ReadFileSignature(HANDLE file, const std::wstring& path);

}  // namespace orv
