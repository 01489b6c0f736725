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
    bool stopped = false;            // a stop signal ended the wait
    bool flooded = false;            // more bytes came than any reply holds: the rest were dropped
    bool settled = false;            // the line was let go quiet first: the request before went unanswered
    std::vector<WireFrame> wire;     // the frames as they went over the wire, where the line wraps them
    std::string retry;               // "retry 1 of 3 (no reply)" when the request is asked again
    modbus::Judgement judgement;
    Clock::time_point sent;   // the request handed to the line
    Clock::time_point ended;  // the reply complete, or the timeout
};

// At most this many bytes of what comes after a request, and of what waits before it, are
// kept: a line that floods is cut off there (the rest is read and dropped).
constexpr std::size_t kReceiveLimit = 4096;

// Drops the bytes waiting on the line, sends a request, collects bytes until the answer
// is complete (its expected length is in) or the timeout has passed since the request went
// out, and judges the answer. The timeout bounds the wait whatever arrives. A broadcast is
// sent and judged good at once: nothing answers it. A late reply to the request before
// this one is kept apart in the record. When the request before went unanswered within its
// time and this one asks the same slave the same function, its late reply could pass for
// this one's answer: the line is first let go quiet for one timeout (at most three timeouts
// in all), and what came meanwhile is dropped; a retry of that very request is not held. A stop signal (StopSignals) ends any wait
// within 50 ms.
class Exchanger {
public:
    Exchanger(Line &line, std::chrono::milliseconds timeout) : m_line(line), m_timeout(timeout) {}

    // `retry`: says that this request is asked again, and why (for the log).
    ExchangeRecord Exchange(const std::vector<uint8_t> &request, const std::string &retry = {});
    // Reads and drops what comes until the line has been quiet for `quiet`, `giveUp` passes,
    // the line is lost or a stop signal came.
    void LetQuiet(std::chrono::milliseconds quiet, Clock::time_point giveUp)
    {
        std::vector<uint8_t> dropped;
        Collect(dropped, quiet, giveUp);
    }

    // The silence kept after the last byte received before a request goes: 3.5 characters
    // of the line's rate (modbus::FrameSilence), as RTU asks of a master. 0: none.
    std::chrono::microseconds frameSilence{0};
    // Off: a stop signal leaves the waits to their time-out, for a command that checks
    // StopSignals between exchanges and finishes what it began.
    bool stopEndsWaits = true;

    // Called with every exchange, good or bad (the traffic log hangs here).
    std::function<void(const ExchangeRecord &)> observer;
    // Called as soon as the line took the request, before any reply is awaited: the record
    // holds the request and the time it was sent.
    std::function<void(const ExchangeRecord &)> sentObserver;

private:
    // Reads until the line has been quiet for `quiet` (0: only what waits now) or `giveUp`
    // passes, the line is lost or a stop signal came; keeps at most kReceiveLimit bytes in `into`.
    void Collect(std::vector<uint8_t> &into, std::chrono::milliseconds quiet, Clock::time_point giveUp);
    bool Stopping() const;

    Line &m_line;
    std::chrono::milliseconds m_timeout;
    std::vector<uint8_t> m_earlier;  // the request before
    bool m_unanswered = false;       // the request before got no whole answer within its time
    Clock::time_point m_lastByte{};  // when the last byte arrived
};

} // namespace cli
