#pragma once
#include <string>
#include <string_view>

#include <easylogging++.h>

#include "main/log_text.h"

// Configures easylogging++'s default logger: "%datetime %level %msg" for every level, the file
// "<application data>\Tavlin\ORVD.log" (folder created, appended across runs) and standard output.
// When the application-data folder cannot be found, lines go to standard output only.
void InitLogging();
