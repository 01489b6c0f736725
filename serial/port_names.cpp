#include "serial/port_names.h"

#include "serial/port.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX  // std::min and std::max, not the macros
#endif
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace serial {

std::optional<int> ParsePortName(const std::string &text)
{
    if (!LooksLikePortName(text) || text.size() < 4)
        return std::nullopt;
    int number = 0;
    for (std::size_t i = 3; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        number = std::min(number * 10 + (text[i] - '0'), kHighestPortNumber + 1);
    }
    if (number < 1 || number > kHighestPortNumber)
        return std::nullopt;
    return number;
}

bool LooksLikePortName(const std::string &text)
{
    auto is = [&](std::size_t i, char upper) { return text[i] == upper || text[i] == upper + ('a' - 'A'); };
    return text.size() >= 3 && is(0, 'C') && is(1, 'O') && is(2, 'M');
}

std::string NoSuchPortReason(const std::string &text)
{
    return "no port is named " + text + " (COM1 to COM" + std::to_string(kHighestPortNumber) + ")";
}

std::string DeviceForPort(int portNumber)
{
    const std::string name = "COM" + std::to_string(portNumber);
#ifdef _WIN32
    return name;
#else
    std::error_code ec;
    const fs::path local(name);
    if (fs::exists(fs::symlink_status(local, ec)))
        return fs::absolute(local, ec).string();
    return "/dev/ttyS" + std::to_string(portNumber - 1);
#endif
}

bool IsEmptyUartNode(const std::string &device)
{
#ifdef _WIN32
    (void)device;
    return false;
#else
    const std::string name = fs::path(device).filename().string();
    if (name.rfind("ttyS", 0) != 0)
        return false;
    std::ifstream type("/sys/class/tty/" + name + "/type");
    int value = -1;
    return type >> value && value == 0;
#endif
}

PortName ResolvePortName(int portNumber)
{
    PortName port;
    port.number = portNumber;
    port.name = "COM" + std::to_string(portNumber);
#ifdef _WIN32
    // Windows names its ports itself: COMn is there when the system has a device of that name.
    char target[512];
    port.device = port.name;
    port.exists = QueryDosDeviceA(port.name.c_str(), target, sizeof target) != 0;
    return port;
#endif
    const std::string path = DeviceForPort(portNumber);
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(path, ec)))
        port.link = fs::read_symlink(path, ec).string();
    port.exists = fs::exists(fs::status(path, ec));
    // A dangling link names its target; a present one the device at the end of the chain.
    port.device = port.link.empty() ? path : port.link;
    std::error_code canonicalError;
    const fs::path device = fs::canonical(path, canonicalError);
    if (port.exists && !canonicalError)
        port.device = device.string();
    port.exists = port.exists && !IsEmptyUartNode(port.device);
    return port;
}

std::vector<int> PresentPortNumbers(int first, int last)
{
    std::vector<int> numbers;
    for (int n = std::max(first, 1); n <= std::min(last, kHighestPortNumber); ++n) {
        if (ResolvePortName(n).exists)
            numbers.push_back(n);
    }
    return numbers;
}

std::string StableNameFor(const std::string &device, const std::string &byIdFolder)
{
    std::error_code ec;
    const fs::path wanted = fs::weakly_canonical(device, ec);
    if (ec)
        return {};
    for (fs::directory_iterator it(byIdFolder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code linkError;
        if (fs::canonical(it->path(), linkError) == wanted && !linkError)
            return it->path().string();
    }
    return {};
}

const DeviceInfo *FindDevice(const std::vector<DeviceInfo> &devices, const std::string &device)
{
    for (const DeviceInfo &info : devices)
        if (info.device == device)
            return &info;
    return nullptr;
}

std::string UsbIds(const DeviceInfo &info)
{
    if (!info.vendorId || !info.productId)
        return {};
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", *info.vendorId & 0xFFFF, *info.productId & 0xFFFF);
    return text;
}

std::string DescribePort(const PortName &port, const DeviceInfo *info)
{
    std::string text = port.name + " \u2192 " + port.device;
    if (!port.exists)
        return text + ", no such device";
    if (info) {
        if (!info->description.empty())
            text += ", " + info->description;
        if (!info->stableName.empty())
            text += ", by-id " + info->stableName;
    }
    return text;
}

namespace {
constexpr char kScheme[] = "tcp://";

// True when `text` begins with `scheme` (lower case), in any letter case: "TCP://" is "tcp://".
bool HasScheme(const std::string &text, std::string_view scheme)
{
    if (text.size() < scheme.size())
        return false;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != scheme[i])
            return false;
    }
    return true;
}
} // namespace

bool IsTcpPortText(const std::string &portText)
{
    return HasScheme(portText, kScheme);
}

std::optional<TcpAddress> ParseTcpAddress(const std::string &text)
{
    if (!IsTcpPortText(text))
        return std::nullopt;
    const std::string rest = text.substr(sizeof kScheme - 1);
    const auto colon = rest.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return std::nullopt;
    std::string host = rest.substr(0, colon);
    const std::string port = rest.substr(colon + 1);
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']')
            return std::nullopt;
        host = host.substr(1, host.size() - 2);
    } else if (host.find_first_of(":[]/ ") != std::string::npos) {
        return std::nullopt;  // an IPv6 address needs its brackets
    }
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int number = std::stoi(port);
    if (number < 1 || number > 65535)
        return std::nullopt;
    return TcpAddress{host, static_cast<uint16_t>(number)};
}

LinkResult LinkPort(int portNumber, const std::string &device, std::string &error)
{
    if (portNumber < 1 || portNumber > kHighestPortNumber)
        return LinkResult::BadNumber;
    const fs::path link = "COM" + std::to_string(portNumber);
    std::error_code ec;
    const fs::file_status before = fs::symlink_status(link, ec);
    const bool existed = fs::exists(before);
    if (existed && !fs::is_symlink(before))
        return LinkResult::NotALink;
    // Made beside it and renamed over it, so COMn is never missing or half made.
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const fs::path fresh = "." + link.string() + ".link-" + std::to_string(stamp);
    fs::create_symlink(device, fresh, ec);
    if (!ec)
        fs::rename(fresh, link, ec);
    if (ec) {
        error = ec.message();
        fs::remove(fresh, ec);
        return LinkResult::Failed;
    }
    return existed ? LinkResult::Replaced : LinkResult::Made;
}

std::string FailureLine(int portNumber, const Port::Failure &failure, OpenResult result)
{
    std::string reason = failure.reason;
    if (reason.empty()) {
        switch (result) {
        case OpenResult::NotFound:
            reason = "no such device";
            break;
        case OpenResult::Busy:
            reason = "held by another program";
            break;
        case OpenResult::NoPermission:
            reason = kNoPermissionReason;
            break;
        case OpenResult::BadSettings:
            reason = "the port refuses the settings";
            break;
        default:
            reason = "the port cannot be used";
            break;
        }
    }
    std::string line = "COM" + std::to_string(portNumber);
    if (!failure.device.empty())
        line += " (" + failure.device + ")";
    return line + ": " + reason;
}

bool IsModbusTcpPortText(const std::string &portText)
{
    return HasScheme(portText, "modbus-tcp://");
}

std::optional<TcpAddress> ParseModbusTcpAddress(const std::string &text)
{
    if (!IsModbusTcpPortText(text))
        return std::nullopt;
    std::string rest = text.substr(std::string_view("modbus-tcp://").size());
    // no port: Modbus TCP's own; "[::1]" and "host" have none, "::1" is an IPv6 address
    // without its brackets and is refused below
    if (!rest.empty() && (rest.back() == ']' || rest.find(':') == std::string::npos))
        rest += ":" + std::to_string(kModbusTcpPort);
    return ParseTcpAddress("tcp://" + rest);
}

} // namespace serial
