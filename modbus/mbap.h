#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// Modbus TCP's framing: the MBAP header (transaction id, protocol 0, the length of what
// follows, the unit id) before the PDU, and no CRC. The tool builds and judges RTU frames;
// these turn one into the other at the edge of a Modbus TCP connection.
namespace modbus {

constexpr std::size_t kMbapHeaderLength = 7;  // transaction 2, protocol 2, length 2, unit 1
// The longest MBAP frame: the header and a PDU of 253 bytes.
constexpr std::size_t kMbapMaxFrame = kMbapHeaderLength + 253;

// The MBAP frame that carries the RTU frame `rtu` (address, PDU, CRC): the address as the
// unit id, the PDU, no CRC. Empty for a frame too short to hold a function code and a CRC.
std::vector<uint8_t> MbapFromRtu(uint16_t transaction, const std::vector<uint8_t> &rtu);

// The RTU frame an MBAP frame stands for: the unit id as the address, the PDU and its CRC.
std::vector<uint8_t> RtuFromMbap(const std::vector<uint8_t> &mbap);

uint16_t MbapTransaction(const std::vector<uint8_t> &mbap);
uint8_t MbapUnit(const std::vector<uint8_t> &mbap);

// What the bytes at the front of a Modbus TCP stream make.
enum class MbapFront {
    Partial,   // too few bytes yet to tell, or the frame's tail is still to come
    Frame,     // a whole frame of `length` bytes
    NotMbap,   // protocol id not 0, or a length no PDU has: the stream's framing is lost
};
struct MbapSplit {
    MbapFront front = MbapFront::Partial;
    std::size_t length = 0;
};
MbapSplit SplitMbap(const std::vector<uint8_t> &stream);

// True when `bytes` are one whole MBAP frame: protocol 0 and the length field that fits.
bool LooksLikeMbap(const std::vector<uint8_t> &bytes);

} // namespace modbus
