#include "cli/retry_rule.h"

#include "device/register_map.h"
#include "modbus/frames.h"

#include <algorithm>

namespace cli {

bool SafeToRepeat(const std::vector<uint8_t> &request)
{
    if (request.size() < 6 || request[0] == modbus::kBroadcastAddress)
        return false;
    const uint16_t first = static_cast<uint16_t>((request[2] << 8) | request[3]);
    switch (request[1]) {
    case modbus::kReadHoldingRegisters:
    case modbus::kWriteMultipleRegisters:
        return true;
    case modbus::kWriteSingleRegister:
        return first == device::OutputState;
    default:
        return false;
    }
}

bool WorthAskingAgain(const ExchangeRecord &record)
{
    if (!record.lost.empty())
        return false;
    switch (record.judgement.verdict) {
    case modbus::Verdict::NoReply:
    case modbus::Verdict::Incomplete:
    case modbus::Verdict::UnexpectedLength:
    case modbus::Verdict::BadCrc:
    case modbus::Verdict::OtherSlave:
        return true;
    case modbus::Verdict::Exception:
        return record.judgement.exceptionCode == modbus::kGatewayTargetNoAnswer;
    default:
        return false;
    }
}

std::chrono::microseconds RetrySilence(int baud)
{
    if (baud > 19200)
        return std::chrono::microseconds(1750);
    return std::chrono::microseconds(35 * 1000000LL / std::max(baud, 1));
}

} // namespace cli
