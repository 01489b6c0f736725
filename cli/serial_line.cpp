#include "cli/serial_line.h"

#include "cli/device_io.h"
#include "serial/port_names.h"
#include "serial/qt_serial_port.h"

#ifndef _WIN32
#include <termios.h>
#endif

namespace cli {

SerialLine::SerialLine(std::string name, std::string device, int baud)
    : m_name(std::move(name)), m_device(std::move(device)), m_baud(baud)
{
}

SerialLine::~SerialLine()
{
    Close();
}

OpenOutcome SerialLine::Open()
{
    const std::string port = m_name == m_device ? m_name : m_name + " (" + m_device + ")";
    switch (serial::OpenDevicePath(m_port, m_device)) {
    case serial::OpenResult::Ok:
        break;
    case serial::OpenResult::NotFound:
        return {"port " + port + " does not exist"};
    case serial::OpenResult::Busy:
        return {"port " + port + " is held by another program"};
    case serial::OpenResult::NoPermission:
        return {"no permission to open port " + port
                    + ": add the user to the dialout group (sudo usermod -aG dialout $USER) and log in again"};
    default:
        return {"port " + port + " cannot be opened"};
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
