#include "cli/traffic.h"

#include "modbus/traffic_log.h"

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
    // before the reply
    context.sentObserver = [&log](const ExchangeRecord &record) { log.Request(record.request, WallTime(record.sent)); };
    context.observer = [&log](const ExchangeRecord &record) {
        if (record.judgement.verdict == modbus::Verdict::NotSent)
            log.Request(record.request, WallTime(record.sent));
        log.Reply(record.received, modbus::ReplyVerdictText(record.request, record.received, record.judgement),
                  WallTime(record.ended));
    };
    return true;
}

bool LogWriteFailed()
{
    return Log().Failed();
}

} // namespace cli
