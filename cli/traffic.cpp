#include "cli/traffic.h"

#include "cli/stop_signals.h"
#include "modbus/traffic_log.h"

#include <algorithm>

namespace cli {

namespace {

// An exchange's times are on the steady clock; the log shows the wall clock.
modbus::Clock::time_point WallTime(Clock::time_point when)
{
    return modbus::Clock::now()
           - std::chrono::duration_cast<modbus::Clock::duration>(Clock::now() - when);
}

modbus::TrafficLog &Log()
{
    static modbus::TrafficLog log;  // lives as long as the command
    return log;
}

} // namespace

bool LogTraffic(const std::string &path, Context &context)
{
    modbus::TrafficLog &log = Log();
    if (!log.Open(path))
        return false;
    // the request is in the log as soon as it left, also when the command is stopped
    // before the reply; bytes dropped before it come first
    context.sentObserver = [&log](const ExchangeRecord &record) {
        if (!record.late.empty())
            log.Reply(record.late, "late reply to the request before", WallTime(record.sent));
        if (!record.discarded.empty())
            log.Reply(record.discarded,
                      record.settled ? "discarded: came while the line was let go quiet after the time-out before"
                                     : "discarded: waiting before the request",
                      WallTime(record.sent));
        log.Request(record.request, WallTime(record.sent));
    };
    context.observer = [&log](const ExchangeRecord &record) {
        if (record.judgement.verdict == modbus::Verdict::NotSent)
            log.Request(record.request, WallTime(record.sent));
        std::string verdict = modbus::ReplyVerdictText(record.request, record.answer, record.judgement);
        const bool lateHere = !record.late.empty() && record.received.size() >= record.late.size()
                              && std::equal(record.late.begin(), record.late.end(), record.received.begin());
        if (lateHere)
            verdict += "; first a late reply to the request before";
        if (!record.stray.empty())
            verdict += "; " + std::to_string(record.stray.size()) + " stray byte(s)";
        if (record.flooded)
            verdict += "; a flood, only the first " + std::to_string(kReceiveLimit) + " bytes kept";
        if (!record.lost.empty())
            verdict += "; " + record.lost;
        if (record.stopped)
            verdict += "; stopped by " + StopSignals::Name();
        if (WriteUnconfirmed(record))
            verdict += "; the write may have been carried out";
        log.Reply(record.received, verdict, WallTime(record.ended));
    };
    return true;
}

bool LogWriteFailed()
{
    return Log().Failed();
}

} // namespace cli
