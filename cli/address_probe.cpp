#include "cli/address_probe.h"
#include "cli/stop_signals.h"

#include "device/parameter_table.h"
#include "modbus/frames.h"
#include "modbus/mbap.h"
#include "modbus/scan_plan.h"

namespace cli {

bool Answered(const modbus::Judgement &judgement)
{
    return modbus::ShowsModule(judgement);
}

Asked Ask(Exchanger &exchanger, int slave, std::chrono::milliseconds timeout)
{
    Asked asked;
    const auto request = modbus::BuildReadRequest(static_cast<uint8_t>(slave), device::kReadBlockFirst, 1);
    auto exchange = [&] {
        const ExchangeRecord record = exchanger.Exchange(request);
        if (!record.late.empty())
            asked.late = record.late[0];
        // over Modbus TCP the line drops a late reply: the frame still shows a module there
        for (const WireFrame &frame : record.wire) {
            if (frame.sent || frame.note.rfind("late reply", 0) != 0)
                continue;
            const uint8_t unit = modbus::MbapUnit(frame.bytes);
            const auto probe = modbus::BuildReadRequest(unit, device::kReadBlockFirst, 1);
            if (unit != 0 && Answered(modbus::JudgeReply(probe, modbus::RtuFromMbap(frame.bytes))))
                asked.late = unit;
        }
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
    exchanger.LetQuiet(timeout, Clock::now() + 10 * timeout);
    asked.answered = !StopSignals::Stopped() && Answered(exchange().judgement);
    return asked;
}

} // namespace cli
