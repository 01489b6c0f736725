#include "modbus/mbap.h"

#include "modbus/crc16.h"

namespace modbus {

namespace {

uint16_t Word(const std::vector<uint8_t> &bytes, std::size_t at)
{
    return static_cast<uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

// The length field counts the unit id and the PDU: at least a function code, at most 253.
bool PlausibleLength(uint16_t length)
{
    return length >= 2 && length <= kMbapMaxFrame - 6;
}

} // namespace

std::vector<uint8_t> MbapFromRtu(uint16_t transaction, const std::vector<uint8_t> &rtu)
{
    if (rtu.size() < 4)
        return {};
    const std::size_t unitAndPdu = rtu.size() - 2;  // the CRC stays behind
    std::vector<uint8_t> frame{static_cast<uint8_t>(transaction >> 8), static_cast<uint8_t>(transaction), 0, 0,
                               static_cast<uint8_t>(unitAndPdu >> 8), static_cast<uint8_t>(unitAndPdu)};
    frame.insert(frame.end(), rtu.begin(), rtu.end() - 2);
    return frame;
}

std::vector<uint8_t> RtuFromMbap(const std::vector<uint8_t> &mbap)
{
    if (mbap.size() < kMbapHeaderLength)
        return {};
    const std::vector<uint8_t> unitAndPdu(mbap.begin() + 6, mbap.end());
    return AppendCrc16(unitAndPdu, unitAndPdu.size() - 1);
}

uint16_t MbapTransaction(const std::vector<uint8_t> &mbap)
{
    return mbap.size() >= 2 ? Word(mbap, 0) : 0;
}

uint8_t MbapUnit(const std::vector<uint8_t> &mbap)
{
    return mbap.size() >= kMbapHeaderLength ? mbap[6] : 0;
}

MbapSplit SplitMbap(const std::vector<uint8_t> &stream)
{
    // judged as soon as the field that can fail is in
    if (stream.size() >= 4 && Word(stream, 2) != 0)
        return {MbapFront::NotMbap, 0};
    if (stream.size() < 6)
        return {};
    const uint16_t length = Word(stream, 4);
    if (!PlausibleLength(length))
        return {MbapFront::NotMbap, 0};
    if (stream.size() < 6u + length)
        return {};
    return {MbapFront::Frame, 6u + length};
}

bool LooksLikeMbap(const std::vector<uint8_t> &bytes)
{
    const MbapSplit split = SplitMbap(bytes);
    return split.front == MbapFront::Frame && split.length == bytes.size();
}

} // namespace modbus
