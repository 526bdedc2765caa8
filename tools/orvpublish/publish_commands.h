#pragma once
#include <cstdio>

#include "publish/publish_command.h"

namespace orv {

// Carries out command, printing its report to out and its errors (one line each, beginning
// "orvpublish: ") to err; a progress line goes to err while long transfers run, when err is a
// terminal. Returns the exit status (kExitAccepted, kExitRefused or kExitUsage).
int RunPublishCommand(const PublishCommand& command, std::FILE* out, std::FILE* err);

}  // namespace orv
