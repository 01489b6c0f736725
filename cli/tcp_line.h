#pragma once
#include "cli/line.h"

#include <QTcpSocket>

#include <optional>

namespace cli {

struct TcpAddress {
    std::string host;  // a name, an IPv4 address, or an IPv6 address without its brackets
    uint16_t port = 0;
};

// "tcp://HOST:PORT" (an IPv6 host in brackets: tcp://[::1]:502), PORT 1..65535.
// nullopt for any other text.
std::optional<TcpAddress> ParseTcpAddress(const std::string &text);
// True when `portText` asks for a TCP line at all, well-formed or not.
bool IsTcpPortText(const std::string &portText);

// RTU frames over a TCP connection to a transparent serial server (an RS-485-to-Ethernet
// converter): the bytes go through unchanged, the rate is the server's business.
// Used without an event loop.
class TcpLine final : public Line {
public:
    TcpLine(std::string name, TcpAddress address);
    ~TcpLine() override;

    OpenOutcome Open() override;
    bool Write(const std::vector<uint8_t> &bytes) override;
    std::vector<uint8_t> WaitForBytes(Clock::time_point deadline) override;
    void Close() override;
    std::string Name() const override { return m_name; }

private:
    std::string m_name;
    TcpAddress m_address;
    QTcpSocket m_socket;
};

} // namespace cli
