#include "modbus/traffic_log.h"

#include "modbus/hex_text.h"

#include <cstdio>
#include <ctime>
#include <iostream>

namespace modbus {

namespace {

// Hex text without its closing blank; "-" for nothing at all.
std::string Hex(const std::vector<uint8_t> &bytes)
{
    if (bytes.empty())
        return "-";
    std::string text = ToHexText(bytes);
    text.pop_back();
    return text;
}

} // namespace

std::string LogTime(Clock::time_point when)
{
    const auto sinceEpoch = when.time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch - seconds).count();
    const std::time_t t = static_cast<std::time_t>(seconds.count());
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(millis));
    return text;
}

std::string RequestLogLine(Clock::time_point when, const std::vector<uint8_t> &request)
{
    return LogTime(when) + " tx " + Hex(request);
}

std::string ReplyLogLine(Clock::time_point when, const std::vector<uint8_t> &received, const std::string &verdict)
{
    return LogTime(when) + " rx " + Hex(received) + " : " + verdict;
}

std::string ReplyVerdictText(const std::vector<uint8_t> &request, const std::vector<uint8_t> &received,
                             const Judgement &judgement)
{
    if (ExpectedReplyLength(request) == 0 && judgement.verdict == Verdict::Good)
        return received.empty() ? "none expected" : "bytes after a broadcast";
    return VerdictText(judgement);
}

std::string DiscardedText(bool settling)
{
    return settling ? "discarded: came while the line was let go quiet after the time-out before"
                    : "discarded: waiting before the request";
}

std::string WindowReplyVerdictText(const Exchange &exchange)
{
    const Judgement judgement = exchange.Judge();
    const std::string strict = ReplyVerdictText(exchange.Request(), exchange.Received(), judgement);
    const bool strictGood = judgement.verdict == Verdict::Good;
    if (exchange.AcceptedByWindow() == strictGood)
        return strict;
    return strict + (strictGood ? " (window: bad)" : " (window: good)");
}

bool TrafficLog::Open(const std::string &path)
{
    m_toStdout = path == "-";
    if (!m_toStdout)
        m_file.open(path, std::ios::out | std::ios::app | std::ios::binary);
    return IsOpen();
}

bool TrafficLog::Failed() const
{
    return m_toStdout ? !std::cout.good() : m_file.is_open() && !m_file.good();
}

void TrafficLog::Request(const std::vector<uint8_t> &request, Clock::time_point when)
{
    Write(RequestLogLine(when, request));
}

void TrafficLog::Reply(const std::vector<uint8_t> &received, const std::string &verdict, Clock::time_point when)
{
    Write(ReplyLogLine(when, received, verdict));
}

void TrafficLog::Note(const std::string &text, Clock::time_point when)
{
    Write(LogTime(when) + " " + text);
}

void TrafficLog::Write(const std::string &line)
{
    if (!IsOpen())
        return;
    std::ostream &out = m_toStdout ? std::cout : m_file;
    out << line << '\n';
    out.flush();
}

} // namespace modbus
