#pragma once
#include "cli/exchange.h"

#include <chrono>

// When velqorctl asks a request again (--retries).
namespace cli {

// True when `request` may be sent again after a failed exchange without changing what the
// module ends up with: a read, a write of fixed values (the parameter block, the output
// switch); never a broadcast (the address change).
bool SafeToRepeat(const std::vector<uint8_t> &request);

// True when `record` failed in a way that asking again may mend: no reply, a reply cut short
// or too long, a bad CRC, another slave's reply, or a gateway's word that the module did
// not answer. Not a refusal, and not a lost line.
bool WorthAskingAgain(const ExchangeRecord &record);

// The silence before a request goes again: 3.5 characters of 10 bits at `baud`, 1.75 ms
// above 19200 baud, as RTU lines keep between frames.
std::chrono::microseconds RetrySilence(int baud);

} // namespace cli
