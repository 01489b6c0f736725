#include "serial/qt_serial_port.h"

#include "serial/line_settings.h"
#include "serial/port_names.h"

#include <QFileInfo>
#include <QStringList>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <utility>
#include <optional>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace serial {
namespace {

constexpr qint64 kBufferSize = 1024;

// The system's words for errno, as the middle of a sentence: "no such file or directory".
[[maybe_unused]] std::string SystemReason(int error)  // used by the checks of Linux only
{
    std::string text = std::strerror(error);
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::string Lowered(const QString &text)
{
    std::string lowered = text.toStdString();
    if (!lowered.empty())
        lowered[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(lowered[0])));
    return lowered;
}

// Tells a missing device and one this user may not open apart before Qt does: QSerialPort
// reports both "no permission" and "held by another program" as PermissionError.
std::optional<std::pair<OpenResult, std::string>> PreCheck(const QString &device)
{
#ifdef _WIN32
    Q_UNUSED(device);
    return std::nullopt;
#else
    const QByteArray path = device.toLocal8Bit();
    if (::access(path.constData(), F_OK) != 0)
        return std::make_pair(OpenResult::NotFound, SystemReason(errno));
    if (IsEmptyUartNode(device.toStdString()))
        return std::make_pair(OpenResult::NotFound, std::string("no serial port behind this device node"));
    if (::access(path.constData(), R_OK | W_OK) != 0) {
        if (errno == EACCES)
            return std::make_pair(OpenResult::NoPermission, std::string(kNoPermissionReason));
        return std::make_pair(OpenResult::OtherError, SystemReason(errno));
    }
    return std::nullopt;
#endif
}

QString DevicePath(const std::string &path)
{
    const QString device = QString::fromStdString(path);
#ifdef _WIN32
    return device;
#else
    // The lock that keeps two programs off one device is taken on the device's own name,
    // not on the link that points at it.
    const QString target = QFileInfo(device).canonicalFilePath();
    return target.isEmpty() ? device : target;
#endif
}

OpenResult FromQtError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
        return OpenResult::Ok;
    case QSerialPort::DeviceNotFoundError:
        return OpenResult::NotFound;
    case QSerialPort::PermissionError:  // access was checked: the device is held elsewhere
    case QSerialPort::OpenError:        // already open in this process
        return OpenResult::Busy;
    default:
        return OpenResult::OtherError;
    }
}

} // namespace

PortFact FactOf(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
        return PortFact::Quiet;
    case QSerialPort::ReadError:  // Linux: a read that finds the end of a pty whose far end closed
        return PortFact::ReadFailed;
    case QSerialPort::WriteError:
        return PortFact::WriteFailed;
    case QSerialPort::ResourceError:  // the device node went away under the open port
    case QSerialPort::DeviceNotFoundError:
        return PortFact::DeviceGone;
    case QSerialPort::UnsupportedOperationError:
        return PortFact::Refused;
    default:
        return PortFact::Other;
    }
}

bool ApplySettings(QSerialPort &port, const std::string &settings)
{
    const std::optional<LineSettings> line = ParseLineSettings(settings);
    if (!line)
        return false;
    const QSerialPort::Parity parity = line->parity == 'O'   ? QSerialPort::OddParity
                                       : line->parity == 'E' ? QSerialPort::EvenParity
                                                             : QSerialPort::NoParity;
    return port.setBaudRate(static_cast<qint32>(line->baud))
        && port.setParity(parity)
        && port.setDataBits(static_cast<QSerialPort::DataBits>(line->dataBits))
        && port.setStopBits(line->stopBits == 1 ? QSerialPort::OneStop : QSerialPort::TwoStop)
        && port.setFlowControl(QSerialPort::NoFlowControl);
}

QtSerialPort::QtSerialPort(QObject *parent) : QObject(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, [this] {
        if (onBytesWaiting)
            onBytesWaiting();
    });
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialPort::OnError);
}

QtSerialPort::~QtSerialPort() = default;

OpenResult OpenDevicePath(QSerialPort &port, const std::string &path, Port::Failure *tried)
{
    const QString device = DevicePath(path);
    Port::Failure failure{device.toStdString(), {}};
    OpenResult result = OpenResult::Ok;
    if (port.isOpen()) {
        failure.reason = "already open in this program";
        result = OpenResult::Busy;
    } else if (const auto refused = PreCheck(device)) {
        failure.reason = refused->second;
        result = refused->first;
    } else {
        port.setPortName(device);
        if (!port.open(QIODevice::ReadWrite)) {
            result = FromQtError(port.error());
            if (result == OpenResult::Ok)
                result = OpenResult::OtherError;
            failure.reason = Lowered(port.errorString());
            if (result == OpenResult::Busy)
                failure.reason = "held by another program (" + failure.reason + ")";
            port.clearError();
        }
    }
    if (tried)
        *tried = failure;
    return result;
}

OpenResult QtSerialPort::OpenDevice(int portNumber)
{
    Failure tried;
    const OpenResult result = OpenDevicePath(m_port, DeviceForPort(portNumber), &tried);
    if (result == OpenResult::Ok)
        m_device = tried.device;
    lastFailure = result == OpenResult::Ok ? Failure{} : tried;
    return result;
}

OpenResult QtSerialPort::TrialOpen(int portNumber)
{
    const OpenResult result = OpenDevice(portNumber);
    if (result == OpenResult::Ok)
        m_port.close();
    return result;
}

OpenResult QtSerialPort::Open(int portNumber, const Settings &settings)
{
    const OpenResult result = OpenDevice(portNumber);
    if (result != OpenResult::Ok)
        return result;
    m_port.setReadBufferSize(kBufferSize);
    if (!ApplySettings(m_port, settings.text)) {
        lastFailure = {m_device, "the port refuses the settings \"" + settings.text + "\""};
        m_port.close();
        return OpenResult::BadSettings;
    }
    // DTR on and RTS off, as the adapter expects when nothing else is said.
    m_port.setDataTerminalReady(true);
    m_port.setRequestToSend(false);
    m_port.clear(QSerialPort::AllDirections);
    m_port.clearError();
    return OpenResult::Ok;
}

void QtSerialPort::Close()
{
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
}

bool QtSerialPort::IsOpen() const
{
    return m_port.isOpen();
}

bool QtSerialPort::Write(const std::vector<uint8_t> &bytes)
{
    if (!m_port.isOpen())
        return false;
    const qint64 n = m_port.write(reinterpret_cast<const char *>(bytes.data()),
                                  static_cast<qint64>(bytes.size()));
    if (n != static_cast<qint64>(bytes.size()))
        return false;
    // Hand the bytes to the driver now: the window pauses right after sending, and
    // QSerialPort would otherwise keep them until its event loop runs again.
    m_port.flush();
    return m_port.isOpen();
}

std::vector<uint8_t> QtSerialPort::ReadAll()
{
    if (!m_port.isOpen())
        return {};
    const QByteArray data = m_port.readAll();
    return std::vector<uint8_t>(data.begin(), data.end());
}

void QtSerialPort::OnError(QSerialPort::SerialPortError error)
{
    // Close at once so the read notifier does not fire on a dead descriptor.
    const PortFact fact = FactOf(error);
    if (!DeviceWentAway(fact) || !m_port.isOpen())
        return;
    // a read that finds the end of the line leaves a stale system reason: none is shown
    const std::string words = fact == PortFact::ReadFailed ? std::string() : Lowered(m_port.errorString());
    lastFailure = {m_device, DeviceLostReason(fact, words)};
    m_port.close();
    m_port.clearError();
    if (onDeviceLost)
        onDeviceLost();
}

} // namespace serial
