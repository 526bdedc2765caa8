#pragma once
#include <string>
#include <string_view>

#include <easylogging++.h>

#include "main/log_text.h"

namespace orv {

// Configures easylogging++'s default logger: "%datetime %level %msg" for every level, the file
// "<application data>\Tavlin\ORVD.log" (folder created, appended across runs) and standard output.
// When the application-data folder cannot be found, or the "Tavlin" folder or the log file is a
// link (junction, symbolic or hard link), lines go to standard output only (a refused log file is
// reported there). Folder and file stay held until the next InitLogging.
void InitLogging();

}  // namespace orv
