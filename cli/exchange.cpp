#include "cli/exchange.h"

namespace cli {

ExchangeRecord Exchanger::Exchange(const std::vector<uint8_t> &request)
{
    ExchangeRecord record;
    record.request = request;
    const bool written = m_line.Write(request);
    record.sent = Clock::now();
    if (written && sentObserver)
        sentObserver(record);
    if (written && modbus::ExpectedReplyLength(request) > 0) {
        const Clock::time_point deadline = record.sent + m_timeout;
        while (!modbus::IsReplyComplete(request, record.received)) {
            const std::vector<uint8_t> bytes = m_line.WaitForBytes(deadline);
            if (bytes.empty())
                break;
            record.received.insert(record.received.end(), bytes.begin(), bytes.end());
        }
    }
    record.ended = Clock::now();
    record.judgement = written ? modbus::JudgeReply(request, record.received)
                                 : modbus::Judgement{modbus::Verdict::NotSent};
    if (observer)
        observer(record);
    return record;
}

} // namespace cli
