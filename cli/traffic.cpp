#include "cli/traffic.h"

#include "cli/stop_signals.h"
#include "modbus/traffic_log.h"

#include <QFileInfo>

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

void LogWireFrame(modbus::TrafficLog &log, const WireFrame &frame, const std::string &verdict)
{
    if (frame.sent)
        log.Request(frame.bytes, WallTime(frame.when));
    else
        log.Reply(frame.bytes, frame.note.empty() ? verdict : frame.note, WallTime(frame.when));
}

// After the request: the frames dropped as they came, and the reply taken (the one frame
// without a note) with the verdict, or silence.
void LogWireReply(modbus::TrafficLog &log, const ExchangeRecord &record)
{
    const std::string verdict = modbus::ReplyVerdictText(record.request, record.answer, record.judgement);
    const auto request = std::find_if(record.wire.rbegin(), record.wire.rend(), [](const WireFrame &f) { return f.sent; });
    auto next = request.base();
    // a request that was not sent never reached the log
    if (record.judgement.verdict == modbus::Verdict::NotSent)
        next = record.wire.begin();
    bool replied = false;
    for (; next != record.wire.end(); ++next) {
        replied = replied || (!next->sent && next->note.empty());
        LogWireFrame(log, *next, verdict);
    }
    if (!replied)
        log.Reply({}, verdict, WallTime(record.ended));
}



// The log file is opened with the first line, so that input refused before anything is
// sent creates no file; LogTraffic checks beforehand that it can be.
std::string g_path;
bool g_openFailed = false;

bool Ready(modbus::TrafficLog &log)
{
    if (!log.IsOpen() && !g_openFailed)
        g_openFailed = !log.Open(g_path);
    return log.IsOpen();
}

bool CanAppend(const std::string &path)
{
    if (path == "-")
        return true;
    const QFileInfo file(QString::fromStdString(path));
    if (file.exists())
        return !file.isDir() && file.isWritable();
    const QFileInfo folder(file.absolutePath());
    return folder.isDir() && folder.isWritable();
}

} // namespace

bool LogTraffic(const std::string &path, Context &context)
{
    modbus::TrafficLog &log = Log();
    if (!CanAppend(path))
        return false;
    g_path = path;
    // the request is in the log as soon as it left, also when the command is stopped
    // before the reply; bytes dropped before it come first
    context.sentObserver = [&log](const ExchangeRecord &record) {
        if (!Ready(log))
            return;
        if (!record.retry.empty())
            log.Note(record.retry, WallTime(record.sent));
        if (!record.wire.empty()) {
            // the frames as they went over the wire: those dropped before, then the request
            for (const WireFrame &frame : record.wire)
                LogWireFrame(log, frame, {});
            return;
        }
        if (!record.late.empty())
            log.Reply(record.late, "late reply to the request before", WallTime(record.sent));
        if (!record.discarded.empty())
            log.Reply(record.discarded, modbus::DiscardedText(record.settled), WallTime(record.sent));
        log.Request(record.request, WallTime(record.sent));
    };
    context.observer = [&log](const ExchangeRecord &record) {
        if (!Ready(log))
            return;
        if (!record.wire.empty()) {
            LogWireReply(log, record);
            return;
        }
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
    return Log().Failed() || g_openFailed;
}

} // namespace cli
