#include "cli/modbus_tcp_line.h"

#include "modbus/crc16.h"
#include "modbus/frames.h"
#include "modbus/mbap.h"

#include <algorithm>
#include <utility>

namespace cli {

namespace {

// What the wire frames keep between two takes; a flood beyond it is only counted.
constexpr std::size_t kKeptFrames = 32;

// An RTU frame of `unit` at the front of `bytes`: what a transparent serial server passes back.
bool BeginsWithRtuFrame(const std::vector<uint8_t> &bytes, uint8_t unit)
{
    const std::size_t longest = std::min(bytes.size(), modbus::kMbapMaxFrame);
    for (std::size_t length = 5; length <= longest; ++length) {
        if (bytes[0] == unit && modbus::HasValidCrc(std::vector<uint8_t>(bytes.begin(), bytes.begin() + length)))
            return true;
    }
    return false;
}

constexpr char kRtuNote[] = "no Modbus TCP frame: an RTU frame, as a transparent serial server passes back; dropped";

std::string Rebuilt(const char *scheme, const std::string &portText)
{
    const auto address = std::string(scheme) == "tcp://" ? serial::ParseModbusTcpAddress(portText)
                                                         : serial::ParseTcpAddress(portText);
    if (!address)
        return scheme + std::string("HOST:PORT");
    const bool ipv6 = address->host.find(':') != std::string::npos;
    return scheme + (ipv6 ? "[" + address->host + "]" : address->host) + ":" + std::to_string(address->port);
}

} // namespace

ModbusTcpLine::ModbusTcpLine(std::string name, serial::TcpAddress address, std::chrono::milliseconds connectTimeout)
    : m_tcp(std::move(name), std::move(address), connectTimeout, "Modbus gateway")
{
}

bool ModbusTcpLine::Write(const std::vector<uint8_t> &bytes)
{
    // every request its own transaction: a reply to an earlier one is told apart
    ++m_transaction;
    const std::vector<uint8_t> frame = modbus::MbapFromRtu(m_transaction, bytes);
    m_unit = frame.empty() ? 0 : bytes[0];
    m_reply.clear();
    Keep(true, frame, {});
    // unit 0 is the broadcast: nothing that comes back answers it
    m_awaiting = !frame.empty() && m_unit != modbus::kBroadcastAddress;
    return !frame.empty() && m_tcp.Write(frame);
}

std::vector<uint8_t> ModbusTcpLine::WaitForBytes(Clock::time_point deadline)
{
    while (m_reply.empty()) {
        const std::vector<uint8_t> bytes = m_tcp.WaitForBytes(deadline);
        if (!bytes.empty())
            Absorb(bytes);
        // the wait is over (or the connection); what comes for the request after the
        // exchange has ended (EndExchange) comes late
        if (m_reply.empty() && (bytes.empty() || Clock::now() >= deadline))
            return {};
    }
    return std::exchange(m_reply, {});
}

void ModbusTcpLine::Absorb(const std::vector<uint8_t> &bytes)
{
    m_stream.insert(m_stream.end(), bytes.begin(), bytes.end());
    for (;;) {
        const modbus::MbapSplit split = modbus::SplitMbap(m_stream);
        if (split.front == modbus::MbapFront::Partial)
            return;
        if (split.front == modbus::MbapFront::NotMbap) {
            // the stream's framing is lost: all that waits goes, the next bytes start afresh
            Keep(false, m_stream,
                 BeginsWithRtuFrame(m_stream, m_unit) ? kRtuNote : "no Modbus TCP frame (protocol id or length); dropped");
            m_stream.clear();
            return;
        }
        const std::vector<uint8_t> frame(m_stream.begin(), m_stream.begin() + static_cast<long>(split.length));
        m_stream.erase(m_stream.begin(), m_stream.begin() + static_cast<long>(split.length));
        const uint16_t transaction = modbus::MbapTransaction(frame);
        if (m_awaiting && transaction == m_transaction) {
            // another unit's reply is handed on as well: the reply check calls it another slave
            m_awaiting = false;
            m_reply = modbus::RtuFromMbap(frame);
            Keep(false, frame, {});
            continue;
        }
        const bool ours = transaction != 0 && transaction <= m_transaction;
        Keep(false, frame,
             ours ? "late reply to transaction " + std::to_string(transaction) + ", dropped"
                  : "transaction " + std::to_string(transaction) + " was never asked; dropped");
    }
}

void ModbusTcpLine::Keep(bool sent, const std::vector<uint8_t> &bytes, std::string note)
{
    if (!sent && m_wire.size() >= kKeptFrames) {
        m_untold += bytes.size();
        return;
    }
    WireFrame frame{sent, bytes, std::move(note), Clock::now()};
    // the log shows at most one frame's worth of a long run of bytes
    if (frame.bytes.size() > modbus::kMbapMaxFrame) {
        frame.note += " (" + std::to_string(frame.bytes.size()) + " bytes, the first "
                      + std::to_string(modbus::kMbapMaxFrame) + " shown)";
        frame.bytes.resize(modbus::kMbapMaxFrame);
    }
    m_wire.push_back(std::move(frame));
}

std::vector<WireFrame> ModbusTcpLine::TakeWireFrames()
{
    if (m_untold > 0)
        m_wire.push_back({false, {}, std::to_string(m_untold) + " more byte(s) dropped", Clock::now()});
    m_untold = 0;
    return std::exchange(m_wire, {});
}

std::string SchemeHint(const std::string &portText, const ExchangeRecord &record)
{
    const bool modbusTcp = serial::IsModbusTcpPortText(portText);
    if (!modbusTcp && !serial::IsTcpPortText(portText))
        return {};
    const bool silent = record.judgement.verdict == modbus::Verdict::NoReply;
    if (!modbusTcp) {
        if (modbus::LooksLikeMbap(record.received))
            return "; the server answers in Modbus TCP frames: a Modbus gateway, reached with "
                   + Rebuilt("modbus-tcp://", portText);
        if (silent || !record.lost.empty())
            return "; if this is a Modbus gateway (Modbus TCP) rather than a transparent serial server, use "
                   + Rebuilt("modbus-tcp://", portText);
        return {};
    }
    const auto noted = [&record](const char *begin) {
        return std::any_of(record.wire.begin(), record.wire.end(), [begin](const WireFrame &frame) {
            return !frame.sent && frame.note.rfind(begin, 0) == 0;
        });
    };
    if (noted(kRtuNote))
        return "; the server answers in RTU frames: a transparent serial server, reached with "
               + Rebuilt("tcp://", portText);
    if (noted("no Modbus TCP frame"))
        return "; the server sent bytes that are no Modbus TCP frame (dropped)";
    if (silent && (noted("late reply") || noted("transaction ")))
        return "; only replies to other transactions came (dropped)";
    if (silent && record.lost.empty())
        return "; a Modbus gateway answers even for a silent module: if this is a transparent serial server, "
               "use " + Rebuilt("tcp://", portText);
    return {};
}

} // namespace cli
