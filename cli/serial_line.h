#pragma once
#include "cli/line.h"
#include "serial/device_lost.h"

#include <QSerialPort>

namespace cli {

// A serial device on QSerialPort, 8N1 at the given rate, used without an event loop.
class SerialLine final : public Line {
public:
    // `name` as messages show it; `portNumber` n when the user named COMn, else 0.
    SerialLine(std::string name, std::string device, int baud, int portNumber = 0);
    ~SerialLine() override;

    OpenOutcome Open() override;
    bool Write(const std::vector<uint8_t> &bytes) override;
    std::vector<uint8_t> WaitForBytes(Clock::time_point deadline) override;
    void Close() override;
    std::string Name() const override { return m_name; }
    std::string Lost() const override;

private:
    // The device went away: the port is closed and `m_lost` says why.
    void NoteFact(serial::PortFact fact);

    std::string m_name;
    std::string m_device;
    int m_baud;
    int m_portNumber;
    QSerialPort m_port;
    std::string m_lost;  // the reason after "connection lost: "; empty while the device is there
};

} // namespace cli
