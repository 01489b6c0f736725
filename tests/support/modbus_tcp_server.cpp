// A Modbus TCP server that is libmodbus's own (modbus_receive, modbus_reply), so that
// velqorctl's Modbus TCP is tried against other code than the simulator's: 19 holding
// registers, every unit id answered, one connection at a time on 127.0.0.1.
// Prints "ready PORT" once it listens (port 0 asked: the system picks one), then
// "req HEX" for each request as it came (MBAP header included).
#include <modbus.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

int main()
{
    modbus_t *ctx = modbus_new_tcp("127.0.0.1", 0);
    modbus_mapping_t *mapping = modbus_mapping_new(0, 0, 19, 0);
    if (!ctx || !mapping)
        return 1;
    mapping->tab_registers[0] = 100;  // 10.0 V
    mapping->tab_registers[12] = 1;   // 9600 baud
    const int listening = modbus_tcp_listen(ctx, 1);
    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    if (listening < 0 || getsockname(listening, reinterpret_cast<sockaddr *>(&bound), &size) != 0)
        return 1;
    std::printf("ready %d\n", ntohs(bound.sin_port));
    std::fflush(stdout);
    for (;;) {
        int server = listening;
        if (modbus_tcp_accept(ctx, &server) < 0)
            return 1;
        uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
        for (int n; (n = modbus_receive(ctx, query)) != -1;) {
            if (n == 0)
                continue;
            std::printf("req");
            for (int i = 0; i < n; ++i)
                std::printf(" %02X", query[i]);
            std::printf("\n");
            std::fflush(stdout);
            modbus_reply(ctx, query, n, mapping);
        }
        close(modbus_get_socket(ctx));
    }
}
