#pragma once
#include "cli/line.h"

#include <QIODevice>

// The byte moves that a line on a Qt device (serial port, TCP socket) makes without an
// event loop.
namespace cli {

// Milliseconds from now until `deadline`, 0 once it has passed.
int MillisecondsUntil(Clock::time_point deadline);

// Hands every byte to `device` and waits until they have left; false when it refuses.
bool WriteAll(QIODevice &device, const std::vector<uint8_t> &bytes);

// The bytes waiting, or the first that arrive before `deadline`; empty at the deadline.
std::vector<uint8_t> ReadArrived(QIODevice &device, Clock::time_point deadline);

} // namespace cli
