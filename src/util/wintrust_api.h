#pragma once
#include <windows.h>
#include <wintrust.h>

namespace orv {

// The WinTrust functions the signature check uses, taken from System32's wintrust.dll at run
// time: wintrust.dll is not one of the DLLs Windows always loads from System32, so the program
// does not import it (a planted copy beside the program would be loaded before the entry function).
struct WinTrustApi {
  bool loaded = false;  // every pointer below is set; false: all are null
  decltype(&::WinVerifyTrust) VerifyTrust = nullptr;
  decltype(&::WTHelperProvDataFromStateData) ProvDataFromStateData = nullptr;
  decltype(&::WTHelperGetProvSignerFromChain) GetProvSignerFromChain = nullptr;
};

// The table, loaded on first use (thread-safe) and never unloaded; loaded is false when
// System32's wintrust.dll or one of its functions is missing, and stays false for the process.
const WinTrustApi& WinTrust();

}  // namespace orv
