#include "app/traffic_tap.h"

#include "app/main_window.h"
#include "modbus/traffic_log.h"

void TapTraffic(MainWindow &window, modbus::TrafficLog &log)
{
    ExchangeController &exchange = window.Exchange();
    exchange.onRequestSent = [&log](const std::vector<uint8_t> &request) { log.Request(request); };
    exchange.onReplyCheck = [&log](const modbus::Exchange &current) {
        log.Reply(current.Received(), modbus::WindowReplyVerdictText(current));
    };
    exchange.onDiscarded = [&log](const std::vector<uint8_t> &bytes, bool settling) {
        log.Reply(bytes, modbus::DiscardedText(settling));
    };
}
