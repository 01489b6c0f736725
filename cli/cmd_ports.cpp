#include "cli/command.h"

#include "serial/port_names.h"
#include "serial/port_survey.h"
#include "serial/system_port.h"

#include <cstdio>

namespace cli {

namespace {

const QCommandLineOption kLink(QStringLiteral("link"), QString(), QStringLiteral("N"));

const char *Openable(serial::OpenResult result)
{
    switch (result) {
    case serial::OpenResult::Ok: return "can be opened";
    case serial::OpenResult::NotFound: return "no such device";
    case serial::OpenResult::Busy: return "held by another program";
    case serial::OpenResult::NoPermission: return "no permission (dialout group)";
    default: return "cannot be opened";
    }
}

int Link(Context &context)
{
#ifdef _WIN32
    (void)context;
    return BadInput("ports --link: Windows names its COM ports itself, so there are no links to make; "
                    "a port's number is changed in the Device Manager (the port's Advanced settings)");
#else
    const QString number = context.parser.value(kLink);
    const auto n = WholeNumber(number, 1, serial::kHighestPortNumber);
    if (!n)
        return BadInput("--link \"" + number.toStdString() + "\": allowed 1 to " + std::to_string(serial::kHighestPortNumber));
    if (context.arguments.size() != 1 || context.arguments.first().isEmpty())
        return BadInput("ports --link N DEVICE: give one DEVICE, e.g. /dev/serial/by-id/usb-…");
    const std::string device = context.arguments.first().toStdString();
    const std::string link = "COM" + std::to_string(*n);
    std::string error;
    const serial::LinkResult result = serial::LinkPort(*n, device, error);
    if (result == serial::LinkResult::NotALink)
        return BadInput(link + " in this folder is a file or folder, not a link: left alone");
    if (result == serial::LinkResult::Failed || result == serial::LinkResult::BadNumber) {
        Complain(link + ": cannot make the link: " + error);
        return kExitPortUnavailable;
    }
    std::printf("%s -> %s (%s)\n", link.c_str(), device.c_str(),
                result == serial::LinkResult::Made ? "made" : "replaced");
    if (!serial::ResolvePortName(*n).exists)
        Complain(link + ": " + device + " does not exist (yet)");
    return kExitOk;
#endif
}

void PrintDetails(const serial::DeviceInfo &info, bool withDescription)
{
    const std::pair<const char *, std::string> fields[] = {
        {"description", withDescription ? info.description : std::string()},
        {"manufacturer", info.manufacturer},
        {"serial number", info.serialNumber},
        {"USB id", serial::UsbIds(info)},
        {"by-id", info.stableName},
    };
    for (const auto &[label, value] : fields) {
        if (!value.empty())
            std::printf("    %-14s %s\n", label, value.c_str());
    }
}

int List(Context &context)
{
    if (!context.arguments.isEmpty())
        return BadInput("ports takes no arguments without --link, got \"" + context.arguments.first().toStdString() + "\"");
    const auto devices = serial::PresentDevices();
    const std::unique_ptr<serial::Port> port = serial::MakeSystemPort();
#ifdef _WIN32
    // Windows names its ports: each one present, with what the system says of its adapter.
    std::printf("COM ports present:\n");
    const std::vector<int> present = serial::PresentPortNumbers();
    if (present.empty())
        std::printf("  none\n");
    for (const int n : present) {
        const std::string name = "COM" + std::to_string(n);
        const serial::DeviceInfo *info = serial::FindDevice(devices, name);
        std::printf("  %-6s %-24s %s\n", name.c_str(), Openable(port->TrialOpen(n)),
                    info ? info->description.c_str() : "");
        if (info)
            PrintDetails(*info, false);
    }
#else
    std::printf("Ports of this folder:\n");
    std::vector<int> shown;
    for (int n = 1; n <= serial::kPortCount; ++n)
        shown.push_back(n);
    for (const int n : serial::PresentPortNumbers(serial::kPortCount + 1))
        shown.push_back(n);
    for (const int n : shown) {
        const serial::PortName name = serial::ResolvePortName(n);
        const std::string how = name.link.empty() ? "" : " (link " + name.name + " -> " + name.link + ")";
        std::printf("  %-5s %-24s %s%s\n", name.name.c_str(), name.device.c_str(),
                    name.exists ? Openable(port->TrialOpen(n)) : "no such device", how.c_str());
    }
    std::printf("Serial devices present:\n");
    if (devices.empty())
        std::printf("  none\n");
    for (const serial::DeviceInfo &info : devices) {
        std::printf("  %s\n", info.device.c_str());
        PrintDetails(info, true);
    }
#endif
    return kExitOk;
}

int Run(Context &context)
{
    return context.parser.isSet(kLink) ? Link(context) : List(context);
}

} // namespace

Command PortsCommand()
{
#ifdef _WIN32
    return {"ports", "ports",
            "  Lists the COM ports present, whether each can be opened, and the description,\n"
            "  manufacturer, serial number and USB id of the adapter behind it. Windows names the\n"
            "  ports itself (--link is refused, exit status 2).\n",
#else
    return {"ports", "ports [--link N DEVICE]",
            "  Lists COM1 to COM9 (and any COMn above them that is present) as this folder resolves\n"
            "  them (a link COMn, else /dev/ttyS(n-1)), whether each exists and can be opened, and\n"
            "  the serial devices present with their description, manufacturer, serial number, USB\n"
            "  id and /dev/serial/by-id name.\n"
            "  --link N DEVICE: makes COMn (N 1 to 256) in this folder a link to DEVICE; an earlier\n"
            "  link is replaced, a file or folder of that name is left alone (exit status 2).\n",
#endif
            {kLink}, Run};
}

} // namespace cli
