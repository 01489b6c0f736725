#pragma once
#include "cli/exchange.h"
#include "cli/tcp_line.h"

namespace cli {

// RTU frames to a Modbus TCP server (a Modbus gateway, port 502 by default): each request
// goes without its CRC behind an MBAP header with a fresh transaction id and the slave
// address as the unit id. A frame that comes back is taken only when its transaction id is
// the request's, and is handed on as the RTU frame it stands for (its CRC made), so the
// reply check judges it as on a serial line, its unit id as the address. Replies to earlier
// transactions and bytes that are no Modbus TCP frame are dropped and kept in the wire
// frames. Nothing grows with what the server sends: at most one frame waits.
class ModbusTcpLine final : public Line {
public:
    ModbusTcpLine(std::string name, serial::TcpAddress address, std::chrono::milliseconds connectTimeout);

    OpenOutcome Open() override { return m_tcp.Open(); }
    bool Write(const std::vector<uint8_t> &bytes) override;
    std::vector<uint8_t> WaitForBytes(Clock::time_point deadline) override;
    void Close() override { m_tcp.Close(); }
    std::string Name() const override { return m_tcp.Name(); }
    std::string Lost() const override { return m_tcp.Lost(); }
    std::vector<WireFrame> TakeWireFrames() override;
    bool MatchesReplies() const override { return true; }
    void EndExchange() override { m_awaiting = false; }

private:
    void Absorb(const std::vector<uint8_t> &bytes);
    void Keep(bool sent, const std::vector<uint8_t> &bytes, std::string note);

    TcpLine m_tcp;
    uint16_t m_transaction = 0;  // the last request's
    uint8_t m_unit = 0;
    bool m_awaiting = false;        // the last request's reply may still be taken
    std::vector<uint8_t> m_stream;  // received, not yet a whole frame
    std::vector<uint8_t> m_reply;   // the reply taken, as an RTU frame, not yet handed on
    std::vector<WireFrame> m_wire;
    std::size_t m_untold = 0;  // bytes dropped beyond what m_wire keeps
};

// One clause for the end of an exchange's failure message when the server at the other
// end seems the wrong kind for the scheme of `portText`: a Modbus gateway reached with
// tcp://, or a transparent serial server reached with modbus-tcp://. Empty otherwise.
std::string SchemeHint(const std::string &portText, const ExchangeRecord &record);

} // namespace cli
