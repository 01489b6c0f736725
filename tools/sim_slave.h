#pragma once
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/register_map.h"

// The module as the simulator plays it: its holding registers, its answers to 03, 06
// and 16, the broadcast address change, the pulse counter, and the reply faults.
// No I/O here; velqor_sim.cpp owns the line.
namespace sim {

// 0x0000..0x0012: the read block, the two registers only the 18-register poll covers,
// and the poll marker.
constexpr std::size_t kRegisterCount = device::PollMarker + 1;

// The pulse counter steps once per period while the output is on.
constexpr std::chrono::milliseconds kPulsePeriod{100};

// The registers a freshly powered module holds; BaudRateCode reports the line's rate.
std::array<uint16_t, kRegisterCount> StartRegisters(uint16_t baudRateCode);

// Appends the Modbus CRC-16 (modbus::Crc16) of the whole frame, low byte first.
void AppendCrc(std::vector<uint8_t> &frame);

// The length, CRC included, of the request that the `n` bytes at `frame` begin, as a
// slave frames it: from the function code, and for 16 from its byte count. nullopt
// while too few bytes are in to tell.
std::optional<std::size_t> RequestLength(const uint8_t *frame, std::size_t n);

// "01 03 00": modbus::AppendHexText's bytes without the blank after the last.
std::string Hex(const uint8_t *data, std::size_t n);
inline std::string Hex(const std::vector<uint8_t> &bytes) { return Hex(bytes.data(), bytes.size()); }

// What the simulator does to a reply. Several may hold at once.
struct Fault {
    bool silent = false;             // send nothing
    std::optional<uint8_t> asSlave;  // this address byte instead of ours, CRC made good again
    int delayMs = 0;                 // wait before sending
    bool badCrc = false;             // both CRC bytes inverted
    bool exception = false;          // refuse: nothing done, exception 02 as the answer
    bool garbage = false;            // bytes that are no reply, the reply's length
    bool stray = false;              // two bytes FF FF kStrayDelay after the reply
    bool strayBefore = false;        // two bytes FF FF straight before the reply
    bool truncate = false;           // only the reply's first half
    bool split = false;              // the reply in three pieces, kSplitGap apart
    bool operator==(const Fault &o) const;
};

// How long after the reply the stray bytes follow: a frame gap and more, as line noise at
// the turn of an RS-485 line comes.
constexpr std::chrono::milliseconds kStrayDelay{30};

// The pause between the pieces of a split reply: longer than a frame gap at any rate.
constexpr std::chrono::milliseconds kSplitGap{5};

// Words separated by blanks or line ends: none, silent, as-slave N (0..255),
// delay N (ms, 0..60000), bad-crc, exception, garbage, stray, stray-before, truncate, split. Empty text and "none" are no fault.
// nullopt for anything else.
std::optional<Fault> ParseFault(const std::string &words);
// The words ParseFault reads back to the same fault; "none" for no fault.
std::string FaultText(const Fault &fault);

// The bytes that go out instead of `reply` under `fault` (as-slave, then bad-crc, then
// garbage, then truncate, then stray-before; silent, delay, split, stray and exception
// are the caller's and Slave's business).
// `seed` drives the garbage and moves on with each use.
std::vector<uint8_t> Corrupt(std::vector<uint8_t> reply, const Fault &fault, uint32_t &seed);

// Seeded random faults: for each request, with `percent` % chance each, one of late (a
// delay of `lateMs`), silent, truncate, bad-crc, stray-before, stray, split, another
// slave's address, exception; otherwise none. The same seed draws the same faults.
class Chaos {
public:
    Chaos(uint32_t seed, int percent, int lateMs);
    Fault Next(uint8_t slave);

private:
    uint32_t m_state;
    int m_percent;
    int m_lateMs;
};

// "SEED:PERCENT" or "SEED:PERCENT:LATE_MS" (seed 0..4294967295, percent 0..11, late
// 1..60000 ms, default 700); nullopt for anything else.
std::optional<Chaos> ParseChaos(const std::string &text);

// What one request did.
struct Outcome {
    std::vector<uint8_t> reply;             // empty: nothing to send
    bool wrote = false;                     // registers changed
    std::optional<uint16_t> addressChange;  // value of a broadcast write of the address register
};

class Slave {
public:
    // `registers`: kRegisterCount registers that outlive the Slave (a modbus_mapping_t's).
    // `echoBroadcast`: answer the broadcast address change with the request itself.
    Slave(uint16_t *registers, bool echoBroadcast);

    // `frame`: a whole request as modbus_receive hands it over (address ours or 0, CRC
    // good, CRC included). `refuse`: do nothing, answer exception 02, and leave a
    // broadcast unanswered. Register writes happen here; the new address only comes
    // back in the Outcome.
    Outcome Handle(const uint8_t *frame, std::size_t length, bool refuse);

    // Brings the pulse counter up to `now`. Call it often and before each Handle.
    void Tick(std::chrono::steady_clock::time_point now);

private:
    uint16_t *m_registers;
    bool m_echoBroadcast;
    bool m_counting = false;
    std::chrono::steady_clock::time_point m_lastPulse{};
};

} // namespace sim
