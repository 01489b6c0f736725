#include "tools/sim_modbus_tcp.h"

#include "modbus/crc16.h"
#include "tools/sim_slave.h"

#include <modbus.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr uint8_t kGatewayTargetNoAnswer = 0x0B;

bool SendAll(int socket, const std::vector<uint8_t> &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(socket, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return false;  // the client went away
    }
    return true;
}

// Waits until `socket` is readable, a pulse period passes or a stop signal comes.
bool Readable(int socket, const sigset_t &openMask)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    const auto period = std::chrono::duration_cast<std::chrono::nanoseconds>(kPulsePeriod);
    timespec tick{0, static_cast<long>(period.count())};
    return pselect(socket + 1, &readable, nullptr, nullptr, &tick, &openMask) > 0;
}

struct Closer {
    modbus_t *ctx;
    ~Closer()
    {
        modbus_close(ctx);
        modbus_free(ctx);
    }
};

} // namespace

int ServeModbusTcp(int port, const std::string &readyTail, const ModbusTcpModules &modules,
                   std::function<bool(const std::vector<uint8_t> &)> &send, const sigset_t &openMask,
                   const volatile std::sig_atomic_t &stop)
{
    modbus_t *ctx = modbus_new_tcp("127.0.0.1", port);
    if (!ctx) {
        std::fprintf(stderr, "velqor-sim: Modbus TCP: %s\n", modbus_strerror(errno));
        return 1;
    }
    const Closer closer{ctx};
    const int listening = modbus_tcp_listen(ctx, 1);
    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    if (listening < 0 || getsockname(listening, reinterpret_cast<sockaddr *>(&bound), &size) != 0) {
        std::fprintf(stderr, "velqor-sim: Modbus TCP port %d: %s\n", port, std::strerror(errno));
        return 1;
    }
    modules.print("ready modbus-tcp://127.0.0.1:" + std::to_string(ntohs(bound.sin_port)) + readyTail);

    while (!stop) {
        const bool incoming = Readable(listening, openMask);
        modules.tick();
        if (!incoming)
            continue;
        int server = listening;
        const int client = modbus_tcp_accept(ctx, &server);
        if (client < 0)
            continue;
        uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
        bool open = true;
        while (open && !stop) {
            const bool ready = Readable(client, openMask);
            modules.tick();
            if (!ready)
                continue;
            const int n = modbus_receive(ctx, query);
            if (n < 0) {
                open = false;  // closed by the client, or bytes that make no request
                break;
            }
            if (n < 8)
                continue;
            const std::vector<uint8_t> header(query, query + 6);
            std::vector<uint8_t> request(query + 6, query + n);  // unit id and PDU
            AppendCrc(request);
            send = [client, header](const std::vector<uint8_t> &bytes) {
                if (bytes.size() < 4 || modbus::Crc16(bytes.data(), bytes.size()) != 0)
                    return SendAll(client, bytes);
                std::vector<uint8_t> frame(header.begin(), header.begin() + 4);
                const std::size_t length = bytes.size() - 2;
                frame.push_back(static_cast<uint8_t>(length >> 8));
                frame.push_back(static_cast<uint8_t>(length));
                frame.insert(frame.end(), bytes.begin(), bytes.end() - 2);
                return SendAll(client, frame);
            };
            const std::string hex = Hex(query, static_cast<std::size_t>(n));
            const int unit = query[6];
            if (unit == MODBUS_BROADCAST_ADDRESS) {
                modules.print("broadcast " + hex);
            } else if (!modules.has(unit)) {
                // as a gateway answers when nothing on its line does
                modules.print("other " + hex);
                std::vector<uint8_t> refusal{static_cast<uint8_t>(unit), static_cast<uint8_t>(query[7] | 0x80),
                                             kGatewayTargetNoAnswer};
                AppendCrc(refusal);
                if (send(refusal))
                    modules.print("rep " + Hex(refusal));
                continue;
            } else {
                modules.print("req " + hex);
            }
            if (!modules.serve(request))
                break;
        }
        close(client);
    }
    return 0;
}

} // namespace sim
