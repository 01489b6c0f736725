#pragma once
#include "cli/command.h"

namespace cli {

// Opens `path` for appending and has every exchange of the command logged there: the
// request at the time it went out, then the reply (or silence) with its verdict. False,
// with nothing changed, when the file cannot be opened.
bool LogTraffic(const std::string &path, Context &context);

// True when a line could not be written to the log (a full disk, a lost file system).
bool LogWriteFailed();

} // namespace cli
