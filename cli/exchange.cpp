#include "cli/exchange.h"

namespace cli {

ExchangeRecord Exchanger::Exchange(const std::vector<uint8_t> &request, const std::string &retry)
{
    ExchangeRecord record;
    record.request = request;
    record.retry = retry;
    // Bytes waiting from before answer nothing sent now: they are discarded, except a whole
    // late reply to the request before, which is told apart.
    for (auto waiting = m_line.WaitForBytes(Clock::now()); !waiting.empty(); waiting = m_line.WaitForBytes(Clock::now()))
        record.discarded.insert(record.discarded.end(), waiting.begin(), waiting.end());
    const std::size_t lateEnd = modbus::SplitAnswer(request, m_earlier, record.discarded).lateEnd;
    record.late.assign(record.discarded.begin(), record.discarded.begin() + static_cast<long>(lateEnd));
    record.discarded.erase(record.discarded.begin(), record.discarded.begin() + static_cast<long>(lateEnd));

    modbus::Exchange exchange(request, record.late.empty() ? m_earlier : std::vector<uint8_t>{});
    const bool written = m_line.Write(request);
    record.sent = Clock::now();
    record.wire = m_line.TakeWireFrames();
    if (written && sentObserver)
        sentObserver(record);
    if (written && exchange.ExpectsReply()) {
        const Clock::time_point deadline = record.sent + m_timeout;
        while (!exchange.AnswerComplete()) {
            const std::vector<uint8_t> bytes = m_line.WaitForBytes(deadline);
            if (bytes.empty())
                break;
            exchange.Receive(bytes);
        }
    }
    record.ended = Clock::now();
    for (WireFrame &frame : m_line.TakeWireFrames())
        record.wire.push_back(std::move(frame));
    record.received = exchange.Received();
    record.answer = exchange.Answer();
    record.stray = exchange.Stray();
    if (const auto late = exchange.LateReply(); !late.empty())
        record.late = late;
    record.judgement = written ? exchange.JudgeAnswer() : modbus::Judgement{modbus::Verdict::NotSent};
    record.lost = m_line.Lost();
    if (!m_line.MatchesReplies())
        m_earlier = request;
    if (observer)
        observer(record);
    return record;
}

} // namespace cli
