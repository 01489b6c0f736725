#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace serial {

// The window's list always offers the ports COM1 to COM9; the ports present above them follow.
inline constexpr int kPortCount = 9;
// Windows numbers its ports COM1 to COM256; any of them can be named.
inline constexpr int kHighestPortNumber = 256;

// "COM12" in any letter case: the port's number, 1 to 256. nullopt for any other text.
std::optional<int> ParsePortName(const std::string &text);
// True when `text` is meant as a port name (COM and something, in any letter case), good or not.
bool LooksLikePortName(const std::string &text);
// Why such a text names no port, for messages: "no port is named COM0 (COM1 to COM256)".
std::string NoSuchPortReason(const std::string &text);

// The device behind port number n. On Linux a file named "COMn" in the working folder
// (usually a link to /dev/ttyUSB0 or a pty) names it; without one, port n is
// /dev/ttyS(n-1). On Windows port n is the system's own COMn.
std::string DeviceForPort(int portNumber);

// /dev/ttySn nodes exist for every possible 8250 UART; the kernel marks the ones with no
// hardware behind them as type 0. Such a node is a port that does not exist.
bool IsEmptyUartNode(const std::string &device);

// What COMn opens here, as DeviceForPort finds it, with the links followed.
struct PortName {
    int number = 0;
    std::string name;         // "COM1"
    std::string link;         // the COMn link's target as written; empty without a link
    std::string device;       // the device at the end of the links: "/dev/ttyUSB0"
    bool exists = false;      // a device is there (an empty UART node is none)
};
PortName ResolvePortName(int portNumber);

// The numbers of the ports from `first` to `last` whose device is there, as ResolvePortName
// finds them (on Windows: the names the system has; on Linux: COMn links and /dev/ttyS nodes).
std::vector<int> PresentPortNumbers(int first = 1, int last = kHighestPortNumber);

// The link in `byIdFolder` (the stable name udev gives a USB adapter) that leads to
// `device`; empty when there is none.
std::string StableNameFor(const std::string &device, const std::string &byIdFolder = "/dev/serial/by-id");

// What the serial-port layer knows of a device that is present.
struct DeviceInfo {
    std::string device;  // "/dev/ttyUSB0"
    std::string description, manufacturer, serialNumber;
    std::optional<int> vendorId, productId;
    std::string stableName;  // /dev/serial/by-id/...
};

// The entry of `devices` for `device`, or nullptr.
const DeviceInfo *FindDevice(const std::vector<DeviceInfo> &devices, const std::string &device);

// "0403:6001", or empty when the device has no USB ids.
std::string UsbIds(const DeviceInfo &info);

// One line on what COMn opens: "COM1 → /dev/ttyUSB0, FT232R USB UART, by-id /dev/serial/by-id/…",
// "COM2 → /dev/pts/4", or "COM3 → /dev/ttyS2, no such device". `info` is the present device
// the port leads to, if the serial-port layer lists it.
std::string DescribePort(const PortName &port, const DeviceInfo *info);

struct TcpAddress {
    std::string host;  // a name, an IPv4 address, or an IPv6 address without its brackets
    uint16_t port = 0;
};

// "tcp://HOST:PORT", the scheme in any letter case (an IPv6 host in brackets:
// tcp://[::1]:502), PORT 1..65535.
// nullopt for any other text.
std::optional<TcpAddress> ParseTcpAddress(const std::string &text);
// True when `portText` asks for a TCP line at all, well-formed or not.
bool IsTcpPortText(const std::string &portText);

enum class LinkResult {
    Made,        // COMn did not exist and points at the device now
    Replaced,    // COMn was a link and points at the device now
    NotALink,    // COMn is a file or a folder: left alone
    BadNumber,   // n is not 1..256
    Failed,      // the file system refused; `error` says why
};
// Makes COMn in the working folder a link to `device`, replacing only an earlier link.
LinkResult LinkPort(int portNumber, const std::string &device, std::string &error);

// What a user who may not open serial devices needs to hear.
inline constexpr const char *kNoPermissionReason = "permission denied — add yourself to the dialout group";

// Modbus TCP's own port, where a Modbus gateway listens.
inline constexpr uint16_t kModbusTcpPort = 502;
// "modbus-tcp://HOST[:PORT]", the scheme in any letter case, PORT 502 when left out (an IPv6
// host in brackets: modbus-tcp://[::1]). nullopt for any other text.
std::optional<TcpAddress> ParseModbusTcpAddress(const std::string &text);
// True when `portText` asks for a Modbus TCP connection at all, well-formed or not.
bool IsModbusTcpPortText(const std::string &portText);

} // namespace serial
