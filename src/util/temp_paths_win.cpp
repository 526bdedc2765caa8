#include "util/temp_paths.h"

std::unique_ptr<wchar_t[]> MakeTempInstallerPath() { return std::unique_ptr<wchar_t[]>(new wchar_t[1]{}); }
std::unique_ptr<wchar_t[]> ResumeShortcutPath() { return std::unique_ptr<wchar_t[]>(new wchar_t[1]{}); }
