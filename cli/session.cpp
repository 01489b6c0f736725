#include "cli/command.h"
#include "cli/modbus_tcp_line.h"
#include "cli/retry_rule.h"
#include "cli/stop_signals.h"

#include "device/register_map.h"
#include "modbus/frames.h"
#include "modbus/scan_plan.h"

#include <cstdio>
#include <thread>

namespace cli {

namespace {

// The length of the well-formed UTF-8 character at `at`, 0 when the bytes there are none.
std::size_t Utf8Length(const std::string &text, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

} // namespace

std::string OneLine(const std::string &text)
{
    std::string line;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f) {
            line += c;
            continue;
        }
        // a character of another script is shown; a byte of a damaged file is not
        if (const std::size_t length = byte >= 0x80 ? Utf8Length(text, at) : 0) {
            line += text.substr(at, length);
            at += length - 1;
            continue;
        }
        char escaped[8];
        if (c == '\n' || c == '\r' || c == '\t')
            std::snprintf(escaped, sizeof escaped, "\\%c", c == '\n' ? 'n' : c == '\r' ? 'r' : 't');
        else
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
        line += escaped;
    }
    return line;
}

void Complain(const std::string &message)
{
    // a file name or an argument may hold a line break: the message stays one line
    std::fprintf(stderr, "velqorctl: %s\n", OneLine(message).c_str());
}

int BadInput(const std::string &message)
{
    Complain(message);
    return kExitBadInput;
}

std::optional<int> WholeNumber(const QString &text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high || text.trimmed() != text || text.startsWith(QLatin1Char('+')))
        return std::nullopt;
    return value;
}

bool IsWrite(const std::vector<uint8_t> &request)
{
    return request.size() > 1
           && (request[1] == modbus::kWriteSingleRegister || request[1] == modbus::kWriteMultipleRegisters);
}

bool WriteUnconfirmed(const ExchangeRecord &record)
{
    const modbus::Verdict verdict = record.judgement.verdict;
    return IsWrite(record.request) && verdict != modbus::Verdict::NotSent && verdict != modbus::Verdict::Good
           && (record.stopped || !record.lost.empty() || record.flooded || verdict == modbus::Verdict::NoReply
               || verdict == modbus::Verdict::Incomplete);
}

Session::Session(const Context &context) : context(context) {}

void Session::Fail(const std::string &message)
{
    m_lastFailure = message;
    if (reportFailures)
        Complain(message);
}

int Session::Open()
{
    return Open(context.baud);
}

int Session::Open(int baud)
{
    Close();
    m_exchanger.reset();
    m_baud = baud;
    m_line = MakeLine(context.portText, baud, context.timeout);
    const OpenOutcome outcome = m_line->Open();
    if (!outcome.Opened()) {
        // no line to ask any more: a reopen at another rate that fails loses the line
        m_lost = true;
        Fail(outcome.failure);
        return kExitPortUnavailable;
    }
    m_exchanger.emplace(*m_line, context.timeout);
    if (!m_line->MatchesReplies())  // Modbus TCP: the gateway keeps the serial side's silence
        m_exchanger->frameSilence = modbus::FrameSilence(baud);
    m_exchanger->observer = context.observer;
    m_exchanger->sentObserver = context.sentObserver;
    return kExitOk;
}

std::optional<std::vector<uint8_t>> Session::Exchange(const std::vector<uint8_t> &request, const std::string &what)
{
    if (!m_exchanger) {
        Fail(what + ": the port is not open");
        return std::nullopt;
    }
    m_exchanger->stopEndsWaits = stopEndsWaits;
    ExchangeRecord record = m_exchanger->Exchange(request);
    int retries = 0;
    while (retries < context.retries && SafeToRepeat(request) && WorthAskingAgain(record) && !record.stopped) {
        ++retries;
        // the line falls silent for 3.5 characters before the request goes again
        std::this_thread::sleep_for(RetrySilence(context.baud));
        record = m_exchanger->Exchange(request, "retry " + std::to_string(retries) + " of "
                                                    + std::to_string(context.retries) + " ("
                                                    + modbus::VerdictText(record.judgement) + ")");
    }
    m_retries += retries;
    if (record.judgement.verdict == modbus::Verdict::Good)
        return record.answer;
    const bool unconfirmed = WriteUnconfirmed(record);
    const std::string mayHave = unconfirmed ? std::string("; ") + kUnconfirmedWrite : std::string();
    if (record.stopped) {
        m_stopped = true;
        if (unconfirmed)
            Fail(what + ": stopped by " + StopSignals::Name()
                 + " after the request was sent, before the module confirmed it" + mayHave);
        else
            Fail(what + ": stopped by " + StopSignals::Name());
        return std::nullopt;
    }
    if (!record.lost.empty()) {
        // the line went away: nothing more can be asked
        m_lost = true;
        Fail(what + ": " + record.lost + mayHave + SchemeHint(context.portText, record));
        return std::nullopt;
    }
    std::string message = what + ": " + modbus::VerdictText(record.judgement);
    if (record.flooded)
        message = what + ": a flood of bytes (more than " + std::to_string(kReceiveLimit) + " within "
                  + std::to_string(context.timeout.count()) + " ms), no reply recognised, on " + m_line->Name();
    else if (record.judgement.verdict == modbus::Verdict::NoReply || record.judgement.verdict == modbus::Verdict::Incomplete)
        message += " from slave " + std::to_string(request[0]) + " within " + std::to_string(context.timeout.count())
                   + " ms on " + m_line->Name();
    if (retries > 0)
        message += ", asked " + std::to_string(retries + 1) + " times";
    Fail(message + mayHave + SchemeHint(context.portText, record));
    return std::nullopt;
}

int Session::FailureStatus() const
{
    if (m_stopped)
        return StopSignals::ExitStatus();
    return m_lost ? kExitPortUnavailable : kExitExchangeFailed;
}

std::optional<device::Registers> Session::ReadBlock(const std::string &what)
{
    return ReadBlock(context.slave, what);
}

std::optional<device::Registers> Session::ReadBlock(uint8_t slave, const std::string &what)
{
    const auto reply = Exchange(modbus::BuildReadRequest(slave, device::kReadBlockFirst, device::kReadBlockCount), what);
    if (!reply)
        return std::nullopt;
    // bytes 0..2: address, function, byte count; then each register high byte first
    device::Registers registers{};
    for (std::size_t i = 0; i < registers.size(); ++i)
        registers[i] = static_cast<uint16_t>(((*reply)[3 + 2 * i] << 8) | (*reply)[4 + 2 * i]);
    return registers;
}

bool Session::CheckLost(const std::string &what)
{
    if (!m_lost && m_line && !m_line->Lost().empty()) {
        m_lost = true;
        Fail(what + ": " + m_line->Lost());
    }
    return m_lost;
}

void Session::Close()
{
    if (m_line)
        m_line->Close();
}

} // namespace cli
