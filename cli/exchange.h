#pragma once
#include "cli/line.h"
#include "modbus/exchange.h"

#include <functional>

namespace cli {

// One request and what came back.
struct ExchangeRecord {
    std::vector<uint8_t> request;
    std::vector<uint8_t> received;
    modbus::Judgement judgement;
    Clock::time_point sent;   // the request handed to the line
    Clock::time_point ended;  // the reply complete, or the timeout
};

// Sends a request, collects bytes until the reply is complete (its expected length is in)
// or the timeout has passed since the request went out, and judges them. A broadcast is
// sent and judged good at once: nothing answers it.
class Exchanger {
public:
    Exchanger(Line &line, std::chrono::milliseconds timeout) : m_line(line), m_timeout(timeout) {}

    ExchangeRecord Exchange(const std::vector<uint8_t> &request);

    // Called with every exchange, good or bad (the traffic log hangs here).
    std::function<void(const ExchangeRecord &)> observer;
    // Called as soon as the line took the request, before any reply is awaited: the record
    // holds the request and the time it was sent.
    std::function<void(const ExchangeRecord &)> sentObserver;

private:
    Line &m_line;
    std::chrono::milliseconds m_timeout;
};

} // namespace cli
