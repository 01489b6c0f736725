#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The judgement of one reply to one request, byte by byte: complete as soon as its length
// is in, then checked for length, CRC, slave, function and what it echoes.
namespace modbus {

enum class Verdict {
    Good,
    NoReply,           // nothing within the timeout
    Incomplete,        // fewer bytes than the reply needs
    BadCrc,
    Exception,         // the slave refused: exceptionCode says why
    OtherSlave,        // another address byte
    UnexpectedLength,  // more bytes than the reply needs
    OtherFunction,     // another function code, not the exception form
    Mismatch,          // the byte count or the echo does not fit the request
    NotSent,           // the line refused the request
};

struct Judgement {
    Verdict verdict = Verdict::NoReply;
    uint8_t exceptionCode = 0;
};

// Bytes of the normal reply to `request` (a whole frame, CRC included): read 5 + 2n,
// write single and write multiple 8. 0 for a broadcast, which gets no reply, and for a
// frame too short to be a request.
std::size_t ExpectedReplyLength(const std::vector<uint8_t> &request);

// True when `received` holds as many bytes as the reply it has begun needs: the exception
// form (function code with its top bit) is 5 bytes, any other the normal length.
bool IsReplyComplete(const std::vector<uint8_t> &request, const std::vector<uint8_t> &received);

Judgement JudgeReply(const std::vector<uint8_t> &request, const std::vector<uint8_t> &received);

// "good", "no reply", "incomplete reply", "bad CRC", "exception 2 (illegal data address)",
// "another slave", ...
std::string VerdictText(const Judgement &judgement);

} // namespace modbus
