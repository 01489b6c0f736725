#include "cli/tcp_line.h"

#include "cli/device_io.h"

#include <cctype>

#ifndef _WIN32
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#endif

namespace cli {

TcpLine::TcpLine(std::string name, serial::TcpAddress address, std::chrono::milliseconds connectTimeout,
                 std::string server)
    : m_name(std::move(name)), m_address(std::move(address)), m_connectTimeout(connectTimeout),
      m_server(std::move(server))
{
}

TcpLine::~TcpLine()
{
    Close();
}

OpenOutcome TcpLine::Open()
{
    m_socket.connectToHost(QString::fromStdString(m_address.host), m_address.port);
    if (m_socket.waitForConnected(static_cast<int>(m_connectTimeout.count()))) {
        // a frame must leave at once, not wait to be joined with the next
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return {};
    }
    OpenOutcome outcome;
    switch (m_socket.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        outcome = {m_name + ": connection refused (is the " + m_server + "'s TCP port right?)"};
        break;
    case QAbstractSocket::HostNotFoundError:
        outcome = {m_name + ": host " + m_address.host + " not found"};
        break;
    case QAbstractSocket::SocketTimeoutError:
        outcome = {m_name + ": unreachable, no connection within " + std::to_string(m_connectTimeout.count())
                   + " ms"};
        break;
    default:
        outcome = {m_name + ": unreachable: " + m_socket.errorString().toStdString()};
        break;
    }
    m_socket.abort();
    return outcome;
}

bool TcpLine::Write(const std::vector<uint8_t> &bytes)
{
    return m_socket.state() == QAbstractSocket::ConnectedState && WriteAll(m_socket, bytes);
}

std::vector<uint8_t> TcpLine::WaitForBytes(Clock::time_point deadline)
{
    // bytes that came before the server hung up are still read
    if (m_socket.bytesAvailable() == 0 && m_socket.state() != QAbstractSocket::ConnectedState)
        return {};
#ifndef _WIN32
    // Qt tells a reset as a close: the end is looked at before Qt reads it
    if (m_socket.bytesAvailable() == 0 && m_ending.empty()) {
        const int descriptor = static_cast<int>(m_socket.socketDescriptor());
        pollfd waiting{descriptor, POLLIN, 0};
        if (::poll(&waiting, 1, MillisecondsUntil(deadline)) <= 0)
            return {};
        char byte = 0;
        const ssize_t peeked = ::recv(descriptor, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        if (peeked == 0)
            m_ending = "closed by the server";
        else if (peeked < 0 && errno == ECONNRESET)
            m_ending = "reset by the server";
    }
#endif
    return ReadArrived(m_socket, deadline);
}

std::string TcpLine::Lost() const
{
    if (m_socket.state() == QAbstractSocket::ConnectedState)
        return {};
    if (!m_ending.empty())
        return m_name + ": connection lost: " + m_ending;
    if (m_socket.error() == QAbstractSocket::RemoteHostClosedError)
        return m_name + ": connection lost: closed by the server";
    std::string words = m_socket.errorString().toStdString();
    if (!words.empty())
        words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
    return m_name + ": connection lost: " + words;
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
