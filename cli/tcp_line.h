#pragma once
#include "cli/line.h"
#include "serial/port_names.h"

#include <QTcpSocket>

namespace cli {

// RTU frames over a TCP connection to a transparent serial server (an RS-485-to-Ethernet
// converter): the bytes go through unchanged, the rate is the server's business.
// Used without an event loop.
class TcpLine final : public Line {
public:
    // `connectTimeout`: how long Open waits for the connection.
    // `server`: what listens there, for messages ("serial server", "Modbus gateway").
    TcpLine(std::string name, serial::TcpAddress address, std::chrono::milliseconds connectTimeout,
            std::string server = "serial server");
    ~TcpLine() override;

    OpenOutcome Open() override;
    bool Write(const std::vector<uint8_t> &bytes) override;
    std::vector<uint8_t> WaitForBytes(Clock::time_point deadline) override;
    void Close() override;
    std::string Name() const override { return m_name; }
    std::string Lost() const override;

private:
    std::string m_name;
    serial::TcpAddress m_address;
    std::chrono::milliseconds m_connectTimeout;
    std::string m_server;
    QTcpSocket m_socket;
    std::string m_ending;  // "closed by the server", "reset by the server"; empty while connected
};

} // namespace cli
