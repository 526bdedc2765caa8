#include "util/path_exists.h"

#include <windows.h>

namespace orv {

static_assert(ERROR_FILE_NOT_FOUND == 2 && ERROR_PATH_NOT_FOUND == 3 && ERROR_INVALID_DRIVE == 15 &&
                  ERROR_NOT_READY == 21 && ERROR_BAD_NETPATH == 53 && ERROR_INVALID_PARAMETER == 87 &&
                  ERROR_INVALID_NAME == 123 && ERROR_BAD_PATHNAME == 161,
              "IsMissingPathError lists these codes by value");

bool PathExists(const wchar_t* path) {
  if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) return true;
  return !IsMissingPathError(GetLastError());
}

}  // namespace orv
