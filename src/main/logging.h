#pragma once
#include <string>
#include <string_view>

#include <easylogging++.h>

#include "base/log_sink.h"
#include "main/log_text.h"

namespace orv {

// Configures easylogging++'s default logger: "%datetime %level %msg" for every level, to
// standard output and to the file "<application data>\Tavlin\ORVD.log" (folder made when
// missing, lines appended across runs, each ended by CR LF). The file is opened once, without
// following a link at "Tavlin" or "ORVD.log" (see OpenHeldForWrite), and every line is
// written through that handle: the library never opens the file by its name. When the
// application-data folder cannot be found or the folder or file is refused, lines go to standard
// output only (a refused log file is reported there). Folder and file stay held until the next
// InitLogging.
void InitLogging();

// Safe from any thread: writes one line at level whose message is exactly message, in one piece
// (the library's formatting and the write to the file under one lock).
void WriteLogLine(LogLevel level, const std::string& message);

}  // namespace orv
