#include "cli/exchange.h"

namespace cli {

ExchangeRecord Exchanger::Exchange(const std::vector<uint8_t> &request)
{
    modbus::Exchange exchange(request);
    ExchangeRecord record;
    const bool written = m_line.Write(request);
    record.sent = Clock::now();
    record.request = request;
    if (written && sentObserver)
        sentObserver(record);
    if (written && exchange.ExpectsReply()) {
        const Clock::time_point deadline = record.sent + m_timeout;
        while (!exchange.Complete()) {
            const std::vector<uint8_t> bytes = m_line.WaitForBytes(deadline);
            if (bytes.empty())
                break;
            exchange.Receive(bytes);
        }
    }
    record.ended = Clock::now();
    record.request = exchange.Request();
    record.received = exchange.Received();
    record.judgement = written ? exchange.Judge() : modbus::Judgement{modbus::Verdict::NotSent};
    if (observer)
        observer(record);
    return record;
}

} // namespace cli
