#include "util/file_paths.h"

namespace orv {

bool IsMissingPathError(unsigned long errorCode) {
  // The Windows error codes, by value, so that the decision builds on any platform.
  constexpr unsigned long kMissing[] = {
      2,    // ERROR_FILE_NOT_FOUND
      3,    // ERROR_PATH_NOT_FOUND
      15,   // ERROR_INVALID_DRIVE
      21,   // ERROR_NOT_READY
      53,   // ERROR_BAD_NETPATH
      87,   // ERROR_INVALID_PARAMETER
      123,  // ERROR_INVALID_NAME
      161,  // ERROR_BAD_PATHNAME
  };
  for (const unsigned long code : kMissing) {
    if (code == errorCode) return true;
  }
  return false;
}

}  // namespace orv
