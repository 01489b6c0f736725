#include "cli/serial_line.h"

#include "cli/device_io.h"
#include "serial/open_failure_advice.h"
#include "serial/port_names.h"
#include "serial/qt_serial_port.h"

#ifndef _WIN32
#include <termios.h>
#endif

namespace cli {

SerialLine::SerialLine(std::string name, std::string device, int baud, int portNumber)
    : m_name(std::move(name)), m_device(std::move(device)), m_baud(baud), m_portNumber(portNumber)
{
}

SerialLine::~SerialLine()
{
    Close();
}

OpenOutcome SerialLine::Open()
{
    const std::string &port = m_name;
    serial::Port::Failure tried;
    const serial::OpenResult result = serial::OpenDevicePath(m_port, m_device, &tried);
    // what the window shows beneath its message, for the same port and user, on one line
    const auto advice = [&] {
        std::string text = serial::OpenFailureAdvice(m_portNumber, tried, result,
                                                     serial::GatherOpenFacts(m_portNumber, tried.device));
        for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at))
            text.replace(at, 1, "; ");
        return text;
    };
    switch (result) {
    case serial::OpenResult::Ok:
        break;
    case serial::OpenResult::NotFound:
        return {"port " + port + " does not exist: " + advice()};
    case serial::OpenResult::Busy:
        return {"port " + port + " is held by another program"};
    case serial::OpenResult::NoPermission:
        return {"port " + port + ": " + advice()};
    default:
        return {"port " + port + " cannot be opened: " + advice()};
    }
    if (!serial::ApplySettings(m_port, std::to_string(m_baud) + ",N,8,1")) {
        m_port.close();
        return {"port " + port + " does not take " + std::to_string(m_baud) + " baud"};
    }
    m_port.setDataTerminalReady(true);
    m_port.setRequestToSend(false);
    // bytes left over from before are no reply to what this program sends
    m_port.clear(QSerialPort::AllDirections);
    return {};
}

bool SerialLine::Write(const std::vector<uint8_t> &bytes)
{
    return WriteAll(m_port, bytes);
}

std::vector<uint8_t> SerialLine::WaitForBytes(Clock::time_point deadline)
{
    return ReadArrived(m_port, deadline);
}

std::string SerialLine::Lost() const
{
    // the device node went away under the open port (an adapter pulled, a pty closed)
    if (m_port.error() == QSerialPort::ResourceError)
        return "port " + m_name + ": connection lost (the device went away)";
    return {};
}

void SerialLine::Close()
{
    if (!m_port.isOpen())
        return;
#ifndef _WIN32
    // a broadcast gets no reply: its bytes must leave before the port closes
    ::tcdrain(static_cast<int>(m_port.handle()));
#endif
    m_port.close();
}

} // namespace cli
