#include "cli/exchange.h"

#include "cli/stop_signals.h"

#include <algorithm>
#include <thread>

namespace cli {

namespace {

// The longest a wait goes on without looking for a stop signal.
constexpr auto kStopCheck = std::chrono::milliseconds(50);

// Appends what fits under kReceiveLimit; true when something had to be dropped.
bool Keep(std::vector<uint8_t> &into, const std::vector<uint8_t> &bytes)
{
    const std::size_t room = kReceiveLimit - std::min(kReceiveLimit, into.size());
    into.insert(into.end(), bytes.begin(), bytes.begin() + static_cast<long>(std::min(room, bytes.size())));
    return bytes.size() > room;
}

} // namespace

bool Exchanger::Stopping() const
{
    return stopEndsWaits && StopSignals::Stopped();
}

void Exchanger::Collect(std::vector<uint8_t> &into, std::chrono::milliseconds quiet, Clock::time_point giveUp)
{
    Clock::time_point quietUntil = Clock::now() + quiet;
    while (!Stopping() && m_line.Lost().empty()) {
        const Clock::time_point now = Clock::now();
        const std::vector<uint8_t> bytes = m_line.WaitForBytes(std::min({quietUntil, giveUp, now + kStopCheck}));
        if (!bytes.empty()) {
            m_lastByte = Clock::now();
            Keep(into, bytes);
            quietUntil = Clock::now() + quiet;
        } else if (Clock::now() >= quietUntil) {
            break;
        }
        if (Clock::now() >= giveUp)
            break;
    }
}

ExchangeRecord Exchanger::Exchange(const std::vector<uint8_t> &request, const std::string &retry)
{
    ExchangeRecord record;
    record.request = request;
    record.retry = retry;
    // Bytes waiting from before answer nothing sent now: they are discarded, except a whole
    // late reply to the request before, which is told apart. After a request of the same
    // kind went unanswered, its reply may still come: the line is let go quiet first (not
    // for a retry of that very request, which any reply to it answers).
    record.settled = m_unanswered && retry.empty() && request.size() > 1 && m_earlier.size() > 1 && request[0] == m_earlier[0]
                     && request[1] == m_earlier[1];
    const auto quiet = record.settled ? m_timeout : std::chrono::milliseconds(0);
    Collect(record.discarded, quiet, Clock::now() + (record.settled ? 3 : 1) * m_timeout);
    const std::size_t lateEnd = modbus::SplitAnswer(request, m_earlier, record.discarded).lateEnd;
    record.late.assign(record.discarded.begin(), record.discarded.begin() + static_cast<long>(lateEnd));
    record.discarded.erase(record.discarded.begin(), record.discarded.begin() + static_cast<long>(lateEnd));

    modbus::Exchange exchange(request, record.late.empty() ? m_earlier : std::vector<uint8_t>{});
    // the line keeps its silence between the last byte in and the request; a sleep may end
    // early (on Windows it counts whole milliseconds, rounded down), so it is taken again
    for (const Clock::time_point quietFrom = m_lastByte + frameSilence; Clock::now() < quietFrom;)
        std::this_thread::sleep_until(quietFrom);
    const bool ready = !Stopping() && m_line.Lost().empty();
    const bool written = ready && m_line.Write(request);
    record.sent = Clock::now();
    record.wire = m_line.TakeWireFrames();
    if (written && sentObserver)
        sentObserver(record);
    if (written && exchange.ExpectsReply()) {
        const Clock::time_point deadline = record.sent + m_timeout;
        std::vector<uint8_t> received;
        while (!exchange.AnswerComplete() && !Stopping() && m_line.Lost().empty()) {
            const std::vector<uint8_t> bytes = m_line.WaitForBytes(std::min(deadline, Clock::now() + kStopCheck));
            if (!bytes.empty()) {
                m_lastByte = Clock::now();
                // a flood is read on to the deadline, but no more of it is kept
                if (!record.flooded) {
                    const std::size_t before = received.size();
                    record.flooded = Keep(received, bytes);
                    exchange.Receive({received.begin() + static_cast<long>(before), received.end()});
                }
            }
            if (Clock::now() >= deadline)
                break;
        }
    }
    record.ended = Clock::now();
    m_line.EndExchange();
    for (WireFrame &frame : m_line.TakeWireFrames())
        record.wire.push_back(std::move(frame));
    record.stopped = Stopping();
    record.received = exchange.Received();
    record.answer = exchange.Answer();
    record.stray = exchange.Stray();
    if (const auto late = exchange.LateReply(); !late.empty())
        record.late = late;
    record.judgement = written ? exchange.JudgeAnswer() : modbus::Judgement{modbus::Verdict::NotSent};
    record.lost = m_line.Lost();
    if (!m_line.MatchesReplies())
        m_earlier = request;
    m_unanswered = written && exchange.ExpectsReply()
                   && (record.flooded || !exchange.AnswerComplete());
    if (observer)
        observer(record);
    return record;
}

} // namespace cli
