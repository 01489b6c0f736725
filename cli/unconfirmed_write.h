#pragma once
#include <string>

namespace cli {

// A write that left for the module but is not yet confirmed: Ctrl+C, SIGTERM or SIGHUP
// then ends the command at once with exit status 130 and one line on stderr saying that
// the write was sent but not confirmed, so the module must be read to know what it holds.
// Outside that time the signals end the command as they always do. POSIX only; elsewhere
// both calls do nothing.
void ArmUnconfirmedWrite(const std::string &what);
void DisarmUnconfirmedWrite();

} // namespace cli
