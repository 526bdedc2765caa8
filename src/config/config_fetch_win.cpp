#include "config/config_fetch.h"

bool FetchConfiguration(const wchar_t*, bool, std::wstring&) { return false; }
