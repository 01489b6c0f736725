#include "cli/tcp_line.h"

#include "cli/device_io.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// On plain sockets: Qt Network and the dozen libraries it brings (Kerberos, libproxy, ...)
// would be loaded by every velqorctl command, a read on a serial port too.
namespace cli {

namespace {

constexpr int kConnectTimeoutMs = 5000;

// Waits for `events` on `fd` for at most `ms`; the events that came, 0 when none.
short WaitFor(int fd, short events, int ms)
{
    pollfd p{fd, events, 0};
    int n = 0;
    do
        n = ::poll(&p, 1, ms);
    while (n < 0 && errno == EINTR);
    return n > 0 ? p.revents : 0;
}

} // namespace

TcpLine::TcpLine(std::string name, serial::TcpAddress address) : m_name(std::move(name)), m_address(std::move(address)) {}

TcpLine::~TcpLine()
{
    Close();
}

OpenOutcome TcpLine::Open()
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const std::string port = std::to_string(m_address.port);
    if (::getaddrinfo(m_address.host.c_str(), port.c_str(), &hints, &found) != 0 || !found)
        return {m_name + ": host " + m_address.host + " not found"};
    int failure = ETIMEDOUT;
    for (const addrinfo *a = found; a && m_fd < 0; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) {
            failure = errno;
            continue;
        }
        int error = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
        if (error == EINPROGRESS) {
            error = ETIMEDOUT;
            if (WaitFor(fd, POLLOUT, kConnectTimeoutMs) != 0) {
                socklen_t length = sizeof error;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                    error = errno;
            }
        }
        if (error == 0) {
            m_fd = fd;
        } else {
            failure = error;
            ::close(fd);
        }
    }
    ::freeaddrinfo(found);
    if (m_fd < 0) {
        if (failure == ECONNREFUSED)
            return {m_name + ": connection refused (is the serial server's TCP port right?)"};
        if (failure == ETIMEDOUT)
            return {m_name + ": unreachable, no connection within " + std::to_string(kConnectTimeoutMs / 1000) + " s"};
        return {m_name + ": unreachable: " + std::strerror(failure)};
    }
    // a frame must leave at once, not wait to be joined with the next
    const int on = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return {};
}

bool TcpLine::Write(const std::vector<uint8_t> &bytes)
{
    std::size_t sent = 0;
    while (m_fd >= 0 && sent < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0)
            sent += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR && errno != EAGAIN) {
            m_lost = m_name + ": connection lost (" + std::strerror(errno) + ")";
            return false;
        } else if (n < 0 && errno == EAGAIN && WaitFor(m_fd, POLLOUT, 1000) == 0) {
            return false;
        }
    }
    return m_fd >= 0;
}

std::vector<uint8_t> TcpLine::WaitForBytes(Clock::time_point deadline)
{
    // bytes that came before the server hung up are still read
    while (m_fd >= 0) {
        uint8_t buffer[4096];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n > 0)
            return std::vector<uint8_t>(buffer, buffer + n);
        if (n == 0) {
            m_lost = m_name + ": connection closed by the server";
            return {};
        }
        if (errno != EAGAIN && errno != EINTR) {
            m_lost = m_name + ": connection lost (" + std::strerror(errno) + ")";
            return {};
        }
        if (errno == EAGAIN && WaitFor(m_fd, POLLIN, MillisecondsUntil(deadline)) == 0)
            return {};
    }
    return {};
}

std::string TcpLine::Lost() const
{
    return m_lost;
}

void TcpLine::Close()
{
    if (m_fd < 0)
        return;
    // a broadcast gets no reply: the kernel still sends what was written after the close
    ::shutdown(m_fd, SHUT_WR);
    ::close(m_fd);
    m_fd = -1;
}

} // namespace cli
