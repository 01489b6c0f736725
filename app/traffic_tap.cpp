#include "app/traffic_tap.h"

#include "app/main_window.h"
#include "modbus/hex_text.h"
#include "modbus/traffic_log.h"

void TapTraffic(MainWindow &window, modbus::TrafficLog &log)
{
    window.m_onRequestSent = [&log](const std::vector<uint8_t> &request) { log.Request(request); };
    window.m_onReplyCheck = [&log](const std::string &sendText, const std::string &receiveBuffer) {
        const auto request = modbus::ParseHexText(sendText);
        const auto received = modbus::ParseHexText(receiveBuffer);
        if (!request || !received)
            return;
        modbus::Exchange exchange(*request);
        exchange.Receive(*received);
        log.Reply(*received, modbus::WindowReplyVerdictText(exchange));
    };
}
