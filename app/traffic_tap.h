#pragma once

class MainWindow;
namespace modbus {
class TrafficLog;
}

// Has `log` record each request the window sends and, at each reply check, the bytes
// collected and what they are. `log` must outlive the window's exchanges.
void TapTraffic(MainWindow &window, modbus::TrafficLog &log);
