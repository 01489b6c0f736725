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

} // namespace

bool LogTraffic(const std::string &path, Context &context)
{
    static modbus::TrafficLog log;  // lives as long as the command
    if (!log.Open(path))
        return false;
    context.observer = [](const ExchangeRecord &record) {
        log.Request(record.request, WallTime(record.sent));
        log.Reply(record.received, modbus::ReplyVerdictText(record.request, record.received, record.judgement),
                  WallTime(record.ended));
    };
    return true;
}

} // namespace cli
