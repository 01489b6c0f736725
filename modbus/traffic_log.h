#pragma once
#include "modbus/exchange.h"

#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

// The traffic log: one line per request and one per reply or silence, so that a wiring
// fault can be told from a wrong address or rate afterwards.
//   2026-12-08 18:01:53.123 tx 01 03 00 00 00 10 44 06
//   2026-12-08 18:01:53.161 rx 01 03 20 00 64 … 13 2A : good
//   2026-12-08 18:01:53.661 rx - : no reply
// The window's log adds the window's own verdict where it differs from the strict one:
//   2026-12-08 18:01:54.003 rx 01 03 02 00 64 B9 AF : incomplete reply (window: good)
namespace modbus {

using Clock = std::chrono::system_clock;

// Local time to the millisecond: "2026-12-08 18:01:53.123".
std::string LogTime(Clock::time_point when);

// "<time> tx <hex>": a request as it went to the line.
std::string RequestLogLine(Clock::time_point when, const std::vector<uint8_t> &request);
// "<time> rx <hex or -> : <verdict>": what came back, and what it was judged to be.
std::string ReplyLogLine(Clock::time_point when, const std::vector<uint8_t> &received, const std::string &verdict);

// What the log says of `received` as the reply to `request`, judged `judgement`: its
// verdict text, or for a broadcast "none expected" ("bytes after a broadcast" when some came).
std::string ReplyVerdictText(const std::vector<uint8_t> &request, const std::vector<uint8_t> &received,
                             const Judgement &judgement);

// The same for the window's exchange, with the window's verdict beside the strict one where
// they differ: "incomplete reply (window: good)", "none expected (window: bad)".
std::string WindowReplyVerdictText(const Exchange &exchange);

// What the log says of bytes dropped before a request went: they came while the line was let
// go quiet after the request before went unanswered (`settling`), or were waiting on it.
std::string DiscardedText(bool settling);

// A log file opened for appending; each line reaches the file at once, so a crash or
// Ctrl+C loses none.
class TrafficLog {
public:
    // False when the file cannot be opened for appending. "-" is standard output.
    bool Open(const std::string &path);
    bool IsOpen() const { return m_toStdout || m_file.is_open(); }
    // True once a line could not be written whole.
    bool Failed() const;

    void Request(const std::vector<uint8_t> &request, Clock::time_point when = Clock::now());
    void Reply(const std::vector<uint8_t> &received, const std::string &verdict, Clock::time_point when = Clock::now());
    // "<time> <text>": what the master did besides a frame ("retry 1 of 3 (no reply)").
    void Note(const std::string &text, Clock::time_point when = Clock::now());

private:
    void Write(const std::string &line);
    std::ofstream m_file;
    bool m_toStdout = false;
};

} // namespace modbus
