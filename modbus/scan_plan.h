#pragma once
#include "modbus/exchange.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// What a scan of the line asks and how long it waits: the plain parts of `velqorctl scan`.
namespace modbus {

// What the slave's turnaround and a USB adapter's latency add to the time on the line.
constexpr std::chrono::milliseconds kAnswerMargin{50};

// How long a slave gets to answer at `baud` (8N1: 10 bits a character): the request's and
// the reply's characters, the 3.5-character silence after each, and kAnswerMargin; whole
// milliseconds, rounded up.
std::chrono::milliseconds AnswerTimeout(int baud, std::size_t requestBytes, std::size_t replyBytes);

// The highest address a master reaches and a scan asks; 248..255 are reserved on a line.
constexpr int kHighestScanAddress = 247;

// A frame of the asked address with a good CRC, whatever it says, shows a module there.
bool ShowsModule(const Judgement &judgement);

// The silence a master leaves after the last byte it received before it sends again:
// 3.5 characters at `baud` (`bitsPerCharacter` with start, parity and stop bits; 10 for
// 8N1), and a fixed 1750 us above 19200 baud. Whole microseconds, rounded up.
std::chrono::microseconds FrameSilence(long long baud, int bitsPerCharacter = 10);

struct SlaveRange {
    int first = 1;
    int last = 247;
    bool operator==(const SlaveRange &o) const { return first == o.first && last == o.last; }
};
// "A-B" or a single "N", each 1..255 and A <= B, blanks around the numbers allowed;
// nullopt otherwise.
std::optional<SlaveRange> ParseSlaveRange(const std::string &text);

// Ranges as ParseSlaveRange reads them, separated by commas ("3,5,10-20"): the addresses in
// the order given, an address given twice asked once. nullopt when any part is no range.
std::optional<std::vector<int>> ParseSlaveList(const std::string &text);

// "all": every rate of `offered`, in its order; otherwise rates separated by commas, each
// written exactly as one of `offered`, in the order given, repeats dropped. nullopt for
// anything else.
std::optional<std::vector<int>> ParseRateList(const std::string &text, const std::vector<int> &offered);

// One redraw of the progress bar: "[#####.....]  9600 baud  address 17 (1-247)  found 1",
// `done` of the `total` addresses of the list `slaves` asked before `address`.
std::string ProgressLine(int baud, int address, int done, int total, const std::string &slaves, int found);

} // namespace modbus
