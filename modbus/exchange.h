#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// One request and the bytes that came after it, judged from the request: the strict
// verdict (complete as soon as its length is in, then checked for length, CRC, slave,
// function and what it echoes) and the window's own, looser rule.
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

// The exceptions a Modbus gateway answers with for the module behind it.
constexpr uint8_t kGatewayNoPath = 10;
constexpr uint8_t kGatewayTargetNoAnswer = 11;

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

// The window's own acceptance rule: the slave address and function code equal the
// request's, the length is one the window accepts, and the last two bytes are the CRC of
// the rest. The window accepts the read replies of 1, 5, 6, 7, 8, 13, 14 and 16 registers
// (7, 15, 17, 19, 21, 31, 33, 37 bytes) and the 8-byte write reply, and besides those the
// length its request asks for (one of the list for every request the window sends today),
// so that a wider read block does not turn every read into a bad one.
bool WindowAcceptsLength(std::size_t bytes, std::size_t expected);
bool WindowAcceptsReply(const std::vector<uint8_t> &request, const std::vector<uint8_t> &received);

// True when `frame` is a whole reply of `earlier`'s slave to `earlier` (good, or the
// exception form) and no answer to `request`: a reply that came after its time, while the
// next request was out.
bool IsLateReply(const std::vector<uint8_t> &earlier, const std::vector<uint8_t> &request,
                 const std::vector<uint8_t> &frame);

// Where what came after a request falls: a late reply to the request before it, stray bytes
// (noise, the end of an earlier frame), and the bytes that answer this request.
struct AnswerSplit {
    std::size_t lateEnd = 0;      // received[0, lateEnd): a late reply to the earlier request
    std::size_t answerBegin = 0;  // received[lateEnd, answerBegin): stray
    std::size_t answerEnd = 0;    // received[answerEnd, end): stray
};
// The answer begins at the first byte after any late reply from which this request's slave
// address and function code (or its exception form) follow, and is as long as the reply
// it begins; without such a byte it is everything after the late reply, judged as it is.
AnswerSplit SplitAnswer(const std::vector<uint8_t> &request, const std::vector<uint8_t> &earlier,
                        const std::vector<uint8_t> &received);

// One request and the bytes that came after it.
class Exchange {
public:
    Exchange() = default;
    explicit Exchange(std::vector<uint8_t> request, std::vector<uint8_t> earlier = {})
        : m_request(std::move(request)), m_earlier(std::move(earlier))
    {
    }

    const std::vector<uint8_t> &Request() const { return m_request; }
    const std::vector<uint8_t> &Received() const { return m_received; }
    // What the line delivered, appended.
    void Receive(const std::vector<uint8_t> &bytes) { m_received.insert(m_received.end(), bytes.begin(), bytes.end()); }

    bool ExpectsReply() const { return ExpectedReplyLength(m_request) > 0; }  // false for a broadcast
    bool Complete() const { return IsReplyComplete(m_request, m_received); }  // strict length, or the exception form
    Judgement Judge() const { return JudgeReply(m_request, m_received); }
    bool AcceptedByWindow() const { return WindowAcceptsReply(m_request, m_received); }

    // velqorctl's reading: only the bytes that answer this request count; a late reply to
    // the earlier request and stray bytes around the answer are told apart.
    AnswerSplit Split() const { return SplitAnswer(m_request, m_earlier, m_received); }
    std::vector<uint8_t> Answer() const;
    std::vector<uint8_t> LateReply() const;
    std::vector<uint8_t> Stray() const;
    bool AnswerComplete() const { return IsReplyComplete(m_request, Answer()); }
    Judgement JudgeAnswer() const { return JudgeReply(m_request, Answer()); }

private:
    std::vector<uint8_t> m_request;
    std::vector<uint8_t> m_earlier;  // the request sent before this one, if any
    std::vector<uint8_t> m_received;
};

} // namespace modbus
