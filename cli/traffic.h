#pragma once
#include "cli/command.h"

namespace cli {

// Has every exchange of the command appended to `path`: the request at the time it went
// out, then the reply (or silence) with its verdict. The file is opened with the first line,
// so that input refused before anything is sent creates none. False, with nothing changed,
// when the file cannot be appended to or made.
bool LogTraffic(const std::string &path, Context &context);

// True when a line could not be written to the log (a full disk, a lost file system).
bool LogWriteFailed();

} // namespace cli
