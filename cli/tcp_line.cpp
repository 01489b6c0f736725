#include "cli/tcp_line.h"

#include <algorithm>

namespace cli {

namespace {

constexpr int kConnectTimeoutMs = 5000;

int MillisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 24 * 3600 * 1000));
}

} // namespace

TcpLine::TcpLine(std::string name, serial::TcpAddress address) : m_name(std::move(name)), m_address(std::move(address)) {}

TcpLine::~TcpLine()
{
    Close();
}

OpenOutcome TcpLine::Open()
{
    m_socket.connectToHost(QString::fromStdString(m_address.host), m_address.port);
    if (m_socket.waitForConnected(kConnectTimeoutMs)) {
        // a frame must leave at once, not wait to be joined with the next
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return {};
    }
    const std::string where = m_name;
    OpenOutcome outcome;
    switch (m_socket.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        outcome = {OpenError::Other, where + ": connection refused (is the serial server's TCP port right?)"};
        break;
    case QAbstractSocket::HostNotFoundError:
        outcome = {OpenError::NotFound, where + ": host " + m_address.host + " not found"};
        break;
    case QAbstractSocket::SocketTimeoutError:
        outcome = {OpenError::Other, where + ": unreachable, no connection within "
                                         + std::to_string(kConnectTimeoutMs / 1000) + " s"};
        break;
    default:
        outcome = {OpenError::Other, where + ": unreachable: " + m_socket.errorString().toStdString()};
        break;
    }
    m_socket.abort();
    return outcome;
}

bool TcpLine::Write(const std::vector<uint8_t> &bytes)
{
    if (m_socket.state() != QAbstractSocket::ConnectedState)
        return false;
    const qint64 n = m_socket.write(reinterpret_cast<const char *>(bytes.data()), static_cast<qint64>(bytes.size()));
    if (n != static_cast<qint64>(bytes.size()))
        return false;
    while (m_socket.bytesToWrite() > 0) {
        if (!m_socket.waitForBytesWritten(1000))
            return false;
    }
    return true;
}

std::vector<uint8_t> TcpLine::WaitForBytes(Clock::time_point deadline)
{
    if (m_socket.bytesAvailable() == 0
        && (m_socket.state() != QAbstractSocket::ConnectedState || !m_socket.waitForReadyRead(MillisecondsUntil(deadline))))
        return {};
    const QByteArray data = m_socket.readAll();
    return std::vector<uint8_t>(data.begin(), data.end());
}

void TcpLine::Close()
{
    if (m_socket.state() == QAbstractSocket::UnconnectedState)
        return;
    // a broadcast gets no reply: its bytes must reach the server before the connection ends
    m_socket.disconnectFromHost();
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        m_socket.waitForDisconnected(1000);
}

} // namespace cli
