#pragma once
#include "cli/line.h"
#include "modbus/exchange.h"

#include <functional>

namespace cli {

// One request and what came back.
struct ExchangeRecord {
    std::vector<uint8_t> request;
    std::vector<uint8_t> discarded;  // waiting on the line before the request, dropped
    std::vector<uint8_t> received;   // everything that came after the request
    std::vector<uint8_t> answer;     // of those, the bytes that answer the request
    std::vector<uint8_t> stray;      // of those, bytes that answer nothing
    std::vector<uint8_t> late;       // a whole reply to the request before, come late
    std::string lost;                // the line went away: why, for the user
    std::vector<WireFrame> wire;     // the frames as they went over the wire, where the line wraps them
    std::string retry;               // "retry 1 of 3 (no reply)" when the request is asked again
    modbus::Judgement judgement;
    Clock::time_point sent;   // the request handed to the line
    Clock::time_point ended;  // the reply complete, or the timeout
};

// Drops the bytes waiting on the line, sends a request, collects bytes until the answer
// is complete (its expected length is in) or the timeout has passed since the request went
// out, and judges the answer. A broadcast is sent and judged good at once: nothing answers
// it. A late reply to the request before this one is kept apart in the record.
class Exchanger {
public:
    Exchanger(Line &line, std::chrono::milliseconds timeout) : m_line(line), m_timeout(timeout) {}

    // `retry`: says that this request is asked again, and why (for the log).
    ExchangeRecord Exchange(const std::vector<uint8_t> &request, const std::string &retry = {});

    // Called with every exchange, good or bad (the traffic log hangs here).
    std::function<void(const ExchangeRecord &)> observer;
    // Called as soon as the line took the request, before any reply is awaited: the record
    // holds the request and the time it was sent.
    std::function<void(const ExchangeRecord &)> sentObserver;

private:
    Line &m_line;
    std::chrono::milliseconds m_timeout;
    std::vector<uint8_t> m_earlier;  // the request before
};

} // namespace cli
