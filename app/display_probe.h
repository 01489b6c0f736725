#pragma once
#include <optional>
#include <string>

namespace app {

// Why this process cannot show a window, as one sentence, or nothing when it can (or
// cannot tell). Linux looks for the display Qt would use; Windows always has its desktop.
std::optional<std::string> WhyNoWindow(int argc, char *argv[]);

// Lets the window's program print (--help, --version) where it was started from. A Windows
// program with a window has no console of its own: it takes the console of the one that
// started it, unless its output already goes somewhere (a pipe, a file). Elsewhere nothing.
void UseStartingConsole();

} // namespace app
