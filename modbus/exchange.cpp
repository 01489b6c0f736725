#include "modbus/exchange.h"

#include "modbus/crc16.h"
#include "modbus/frames.h"

#include <algorithm>
#include <array>

namespace modbus {

namespace {

constexpr uint8_t kExceptionBit = 0x80;
constexpr std::size_t kExceptionLength = 5;

uint16_t Word(const std::vector<uint8_t> &frame, std::size_t at)
{
    return static_cast<uint16_t>((frame[at] << 8) | frame[at + 1]);
}

bool IsExceptionForm(const std::vector<uint8_t> &request, const std::vector<uint8_t> &received)
{
    return received.size() >= 2 && received[1] == (request[1] | kExceptionBit);
}

const char *ExceptionName(uint8_t code)
{
    switch (code) {
    case 1: return "illegal function";
    case 2: return "illegal data address";
    case 3: return "illegal data value";
    case 4: return "slave device failure";
    case 5: return "acknowledge";
    case 6: return "slave device busy";
    case 8: return "memory parity error";
    case kGatewayNoPath: return "gateway: no path to the module";
    case kGatewayTargetNoAnswer: return "gateway: the module did not answer";
    default: return "unknown exception";
    }
}

// A good frame of the right length, slave and function: does it answer this request?
bool FitsRequest(const std::vector<uint8_t> &request, const std::vector<uint8_t> &reply)
{
    switch (request[1]) {
    case kReadHoldingRegisters:
        return reply[2] == reply.size() - 5;
    case kWriteSingleRegister:
        return std::equal(reply.begin(), reply.end(), request.begin());
    case kWriteMultipleRegisters:
        // address, function, first register and count: the first six bytes
        return std::equal(reply.begin(), reply.begin() + 6, request.begin());
    default:
        return true;
    }
}

} // namespace

std::size_t ExpectedReplyLength(const std::vector<uint8_t> &request)
{
    if (request.size() < 8 || request[0] == kBroadcastAddress)
        return 0;
    switch (request[1]) {
    case kReadHoldingRegisters:
        return 5 + 2 * std::size_t{Word(request, 4)};
    case kWriteSingleRegister:
    case kWriteMultipleRegisters:
        return 8;
    default:
        return 0;
    }
}

bool IsReplyComplete(const std::vector<uint8_t> &request, const std::vector<uint8_t> &received)
{
    const std::size_t expected = ExpectedReplyLength(request);
    if (expected == 0)
        return true;
    return received.size() >= (IsExceptionForm(request, received) ? kExceptionLength : expected);
}

Judgement JudgeReply(const std::vector<uint8_t> &request, const std::vector<uint8_t> &received)
{
    if (ExpectedReplyLength(request) == 0)
        return {Verdict::Good};
    if (received.empty())
        return {Verdict::NoReply};
    const bool exception = IsExceptionForm(request, received);
    const std::size_t expected = exception ? kExceptionLength : ExpectedReplyLength(request);
    if (received.size() < expected)
        return {Verdict::Incomplete};
    if (received.size() > expected)
        return {Verdict::UnexpectedLength};
    if (!HasValidCrc(received))
        return {Verdict::BadCrc};
    if (received[0] != request[0])
        return {Verdict::OtherSlave};
    if (exception)
        return {Verdict::Exception, received[2]};
    if (received[1] != request[1])
        return {Verdict::OtherFunction};
    if (!FitsRequest(request, received))
        return {Verdict::Mismatch};
    return {Verdict::Good};
}

bool WindowAcceptsLength(std::size_t bytes, std::size_t expected)
{
    static constexpr std::array<std::size_t, 9> kAccepted{7, 8, 15, 17, 19, 21, 31, 33, 37};
    return (expected > 0 && bytes == expected) || std::find(kAccepted.begin(), kAccepted.end(), bytes) != kAccepted.end();
}

bool WindowAcceptsReply(const std::vector<uint8_t> &request, const std::vector<uint8_t> &received)
{
    // slave address and function code, as the request has them
    if (request.size() < 2 || received.size() < 2 || !std::equal(request.begin(), request.begin() + 2, received.begin()))
        return false;
    return WindowAcceptsLength(received.size(), ExpectedReplyLength(request)) && HasValidCrc(received);
}

std::string VerdictText(const Judgement &judgement)
{
    switch (judgement.verdict) {
    case Verdict::Good: return "good";
    case Verdict::NoReply: return "no reply";
    case Verdict::Incomplete: return "incomplete reply";
    case Verdict::BadCrc: return "bad CRC";
    case Verdict::Exception:
        // a gateway's exception speaks of the module behind it
        if (judgement.exceptionCode == kGatewayNoPath || judgement.exceptionCode == kGatewayTargetNoAnswer)
            return ExceptionName(judgement.exceptionCode) + std::string(" (exception ")
                   + std::to_string(judgement.exceptionCode) + ")";
        return "exception " + std::to_string(judgement.exceptionCode) + " ("
               + ExceptionName(judgement.exceptionCode) + ")";
    case Verdict::OtherSlave: return "another slave";
    case Verdict::UnexpectedLength: return "unexpected length";
    case Verdict::OtherFunction: return "another function code";
    case Verdict::Mismatch: return "reply does not match the request";
    case Verdict::NotSent: return "request not sent";
    }
    return "unknown";
}

bool IsLateReply(const std::vector<uint8_t> &earlier, const std::vector<uint8_t> &request,
                 const std::vector<uint8_t> &frame)
{
    if (ExpectedReplyLength(earlier) == 0 || frame.empty())
        return false;
    const Verdict toEarlier = JudgeReply(earlier, frame).verdict;
    return (toEarlier == Verdict::Good || toEarlier == Verdict::Exception)
           && JudgeReply(request, frame).verdict != Verdict::Good;
}

AnswerSplit SplitAnswer(const std::vector<uint8_t> &request, const std::vector<uint8_t> &earlier,
                        const std::vector<uint8_t> &received)
{
    AnswerSplit split;
    // a whole reply to the earlier request first: it came late
    if (ExpectedReplyLength(earlier) > 0 && received.size() >= 2) {
        const std::size_t length =
            received[1] == (earlier[1] | kExceptionBit) ? kExceptionLength : ExpectedReplyLength(earlier);
        if (received.size() >= length
            && IsLateReply(earlier, request, std::vector<uint8_t>(received.begin(), received.begin() + length)))
            split.lateEnd = length;
    }
    split.answerBegin = split.lateEnd;
    for (std::size_t i = split.lateEnd; i < received.size(); ++i) {
        const bool slave = received[i] == request[0];
        const bool function = i + 1 == received.size() || received[i + 1] == request[1]
                              || received[i + 1] == (request[1] | kExceptionBit);
        if (slave && function) {
            split.answerBegin = i;
            break;
        }
    }
    const std::vector<uint8_t> rest(received.begin() + static_cast<long>(split.answerBegin), received.end());
    const std::size_t needed = IsExceptionForm(request, rest) ? kExceptionLength : ExpectedReplyLength(request);
    // bytes after the whole answer are stray; a request that expects no reply keeps them all
    split.answerEnd = needed == 0 ? received.size() : split.answerBegin + std::min(rest.size(), needed);
    return split;
}

std::vector<uint8_t> Exchange::Answer() const
{
    const AnswerSplit split = Split();
    return {m_received.begin() + static_cast<long>(split.answerBegin),
            m_received.begin() + static_cast<long>(split.answerEnd)};
}

std::vector<uint8_t> Exchange::LateReply() const
{
    return {m_received.begin(), m_received.begin() + static_cast<long>(Split().lateEnd)};
}

std::vector<uint8_t> Exchange::Stray() const
{
    const AnswerSplit split = Split();
    std::vector<uint8_t> stray(m_received.begin() + static_cast<long>(split.lateEnd),
                               m_received.begin() + static_cast<long>(split.answerBegin));
    stray.insert(stray.end(), m_received.begin() + static_cast<long>(split.answerEnd), m_received.end());
    return stray;
}

} // namespace modbus
