#pragma once
#include <csignal>
#include <cstdint>
#include <functional>
#include <signal.h>
#include <string>
#include <vector>

// The simulator as a Modbus gateway: a Modbus TCP server (libmodbus's) on 127.0.0.1 in
// front of the simulated modules. Each request comes in with its MBAP header, goes to the
// modules as the RTU frame it stands for, and their replies go back behind the request's
// MBAP header; a unit id with no module gets the gateway's exception 11 (the module did
// not answer), unit 0 is the broadcast and gets nothing. One connection at a time.
namespace sim {

struct ModbusTcpModules {
    // Carries out one RTU request (CRC good) and sends its replies with `send`; false when
    // a stop signal cut it short.
    std::function<bool(const std::vector<uint8_t> &request)> serve;
    // Brings the modules up to now (the pulse counter).
    std::function<void()> tick;
    // True when a module answers to `unit`.
    std::function<bool(int unit)> has;
    // Prints one line of the simulator's output.
    std::function<void(const std::string &line)> print;
};

// Listens on 127.0.0.1:`port` (0: a port the system picks) and serves until `stop` is set.
// While a request is served, `send` sends RTU bytes back over its connection: a frame
// with a good CRC goes without it behind the request's MBAP header, other bytes (a bad
// CRC, garbage, stray bytes) go as they are, which no Modbus TCP client can frame.
// Prints "ready modbus-tcp://127.0.0.1:PORT ..." (the rest from `readyTail`) once it
// listens, and "req", "broadcast", "other" with the MBAP frame of each request.
// Returns the simulator's exit status: 0 stopped, 1 when it cannot listen.
int ServeModbusTcp(int port, const std::string &readyTail, const ModbusTcpModules &modules,
                   std::function<bool(const std::vector<uint8_t> &)> &send, const sigset_t &openMask,
                   const volatile std::sig_atomic_t &stop);

} // namespace sim
