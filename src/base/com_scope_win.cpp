#include "base/com_scope.h"

#include <windows.h>
#include <objbase.h>

namespace orv {

ComScope::ComScope() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}

ComScope::~ComScope() {
  if (initialised_) CoUninitialize();
}

}  // namespace orv
