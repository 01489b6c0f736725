#include "cli/serial_line.h"

#include "cli/device_io.h"
#include "serial/open_failure_advice.h"
#include "serial/port_names.h"
#include "serial/qt_serial_port.h"

#include <cctype>

#ifndef _WIN32
#include <termios.h>
#include <unistd.h>
#endif

namespace cli {

SerialLine::SerialLine(std::string name, std::string device, int baud, int portNumber)
    : m_name(std::move(name)), m_device(std::move(device)), m_baud(baud), m_portNumber(portNumber)
{
    // QSerialPort tells its errors as they happen, also without an event loop
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError error) { NoteFact(serial::FactOf(error)); });
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
    if (!m_lost.empty())
        return false;
    if (WriteAll(m_port, bytes))
        return true;
    NoteFact(serial::PortFact::WriteFailed);
    return false;
}

std::vector<uint8_t> SerialLine::WaitForBytes(Clock::time_point deadline)
{
    if (!m_lost.empty())
        return {};
    std::vector<uint8_t> bytes = ReadArrived(m_port, deadline);
#ifndef _WIN32
    // a quiet line may be a device whose node went away without a word
    if (bytes.empty() && m_lost.empty() && ::access(m_device.c_str(), F_OK) != 0)
        NoteFact(serial::PortFact::DeviceGone);
#endif
    return bytes;
}

void SerialLine::NoteFact(serial::PortFact fact)
{
    if (!serial::DeviceWentAway(fact) || !m_lost.empty() || !m_port.isOpen())
        return;
    const QSerialPort::SerialPortError error = m_port.error();
    // a read that finds the end of the line leaves a stale system reason: none is shown
    const bool said = error != QSerialPort::NoError && error != QSerialPort::TimeoutError
                      && fact != serial::PortFact::ReadFailed;
    std::string words = said ? m_port.errorString().toStdString() : std::string();
    if (!words.empty())
        words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
    m_lost = serial::DeviceLostReason(fact, words);
    m_port.close();
}

std::string SerialLine::Lost() const
{
    if (m_lost.empty())
        return {};
    return "port " + m_name + ": connection lost: " + m_lost;
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
