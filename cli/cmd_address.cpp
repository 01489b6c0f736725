#include "cli/command.h"

#include "device/register_map.h"
#include "modbus/frames.h"
#include "serial/port_names.h"

#include <cstdio>

namespace cli {

namespace {

// The addresses a master reaches and scan asks; 248..255 are reserved on a Modbus line.
constexpr int kHighestAddress = 247;

int Run(Context &context)
{
    // The change goes to the broadcast address: sent to one module's own address, register
    // 0x0000 would be its PWM voltage. So no module can be picked.
    if (context.parser.isSet(QStringLiteral("slave")))
        return BadInput("address: --slave cannot pick one module: the change is a broadcast that every module "
                        "on the line takes; leave only that module on the line and give no --slave");
    const std::string text = context.arguments.value(0).toStdString();
    const auto address = modbus::ParseSlaveAddress(text);
    if (context.arguments.size() != 1 || !address || *address < 1 || *address > kHighestAddress)
        return BadInput("address: \"" + context.arguments.join(QLatin1Char(' ')).toStdString()
                        + "\" is no new address; allowed 1 to 247 (248 to 254 are reserved on a Modbus line, no "
                          "master reaches them)");
    Session session(context);
    if (const int status = session.Open())
        return status;
    // every module on the line takes it: the broadcast address, no reply
    const auto sent = session.Exchange(
        modbus::BuildWriteSingleRequest(modbus::kBroadcastAddress, device::kSlaveAddressRegister, *address), "address");
    session.Close();
    if (!sent)
        return session.FailureStatus();
    if (serial::IsModbusTcpPortText(context.portText))
        Complain("address: sent to unit 0 (the broadcast) through " + context.portText
                 + "; this cannot be confirmed: many gateways do not pass broadcasts on. Every module on the line "
                   "that got it takes address " + std::to_string(*address) + "; check with --slave "
                 + std::to_string(*address) + " read");
    else
        Complain("address: sent as a broadcast: every module on the line takes address " + std::to_string(*address));
    std::printf("address          %d (broadcast, no reply awaited)\n", *address);
    return kExitOk;
}

} // namespace

Command AddressCommand()
{
    return {"address", "address NEW",
            "  Gives the module the slave address NEW (1 to 247): function 6 on register 0x0000\n"
            "  to the broadcast address 0, so EVERY module on the line takes it (said on stderr).\n"
            "  Leave only the module to change on the line; --slave is refused. Nothing answers;\n"
            "  use --slave NEW afterwards.\n",
            {}, Run};
}

} // namespace cli
