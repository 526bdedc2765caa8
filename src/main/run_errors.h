#pragma once
#include "util/status.h"

using orv::ErrorBoxText;
using orv::kErrorBoxTitle;
using orv::RunError;
