#include "cli/address_probe.h"
#include "cli/stop_signals.h"

#include "device/parameter_table.h"
#include "modbus/frames.h"

namespace cli {

bool Answered(const modbus::Judgement &judgement)
{
    switch (judgement.verdict) {
    case modbus::Verdict::Good:
    case modbus::Verdict::Exception:
    case modbus::Verdict::OtherFunction:
    case modbus::Verdict::Mismatch:
        return true;
    default:
        return false;
    }
}

Asked Ask(Exchanger &exchanger, Line &line, int slave, std::chrono::milliseconds timeout)
{
    Asked asked;
    const auto request = modbus::BuildReadRequest(static_cast<uint8_t>(slave), device::kReadBlockFirst, 1);
    auto exchange = [&] {
        const ExchangeRecord record = exchanger.Exchange(request);
        if (!record.late.empty())
            asked.late = record.late[0];
        return record;
    };
    const ExchangeRecord first = exchange();
    const modbus::Verdict verdict = first.judgement.verdict;
    if (Answered(first.judgement) || verdict == modbus::Verdict::NoReply || verdict == modbus::Verdict::NotSent
        || !first.lost.empty()) {
        asked.answered = Answered(first.judgement);
        return asked;
    }
    // a line that never falls silent (another master, a wrong rate's noise) gets ten waits
    const Clock::time_point giveUp = Clock::now() + 10 * timeout;
    while (Clock::now() < giveUp && !StopSignals::Stopped() && !line.WaitForBytes(Clock::now() + timeout).empty()) {
    }
    asked.answered = !StopSignals::Stopped() && Answered(exchange().judgement);
    return asked;
}

} // namespace cli
