#include "cli/command.h"

#include "device/register_map.h"
#include "modbus/frames.h"

#include <cstdio>

namespace cli {

void Complain(const std::string &message)
{
    std::fprintf(stderr, "velqorctl: %s\n", message.c_str());
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

Session::Session(const Context &context) : context(context) {}

int Session::Open()
{
    m_line = MakeLine(context.portText, context.baud);
    const OpenOutcome outcome = m_line->Open();
    if (!outcome.Opened()) {
        Complain(outcome.failure);
        return kExitPortUnavailable;
    }
    m_exchanger.emplace(*m_line, context.timeout);
    m_exchanger->observer = context.observer;
    return kExitOk;
}

std::optional<std::vector<uint8_t>> Session::Exchange(const std::vector<uint8_t> &request, const std::string &what)
{
    const ExchangeRecord record = m_exchanger->Exchange(request);
    if (record.judgement.verdict == modbus::Verdict::Good)
        return record.received;
    std::string message = what + ": " + modbus::VerdictText(record.judgement);
    if (record.judgement.verdict == modbus::Verdict::NoReply || record.judgement.verdict == modbus::Verdict::Incomplete)
        message += " from slave " + std::to_string(request[0]) + " within " + std::to_string(context.timeout.count())
                   + " ms on " + m_line->Name();
    Complain(message);
    return std::nullopt;
}

std::optional<device::Registers> Session::ReadBlock(const std::string &what)
{
    const auto reply = Exchange(
        modbus::BuildReadRequest(context.slave, device::kReadBlockFirst, device::kReadBlockCount), what);
    if (!reply)
        return std::nullopt;
    // bytes 0..2: address, function, byte count; then each register high byte first
    device::Registers registers{};
    for (std::size_t i = 0; i < registers.size(); ++i)
        registers[i] = static_cast<uint16_t>(((*reply)[3 + 2 * i] << 8) | (*reply)[4 + 2 * i]);
    return registers;
}

void Session::Close()
{
    if (m_line)
        m_line->Close();
}

} // namespace cli
