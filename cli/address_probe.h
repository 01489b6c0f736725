#pragma once
#include "cli/exchange.h"

// Asking one address whether a module is there: scan's question, which provision also
// asks to find modules and to watch a bench.
namespace cli {

// A frame of the asked address with a good CRC, whatever it says, shows a module there.
bool Answered(const modbus::Judgement &judgement);

// What asking one address showed.
struct Asked {
    bool answered = false;
    int late = 0;  // the address asked before, when its reply came only now (0: none)
};

// Asks `slave` for the block's first register. A reply to the address asked before that
// comes now was late: that module is there. Other bytes that are no answer of its own
// (noise, another master) are let run out until the line is silent for one wait, and the
// slave is asked once more.
Asked Ask(Exchanger &exchanger, int slave, std::chrono::milliseconds timeout);

} // namespace cli
