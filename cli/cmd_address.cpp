#include "cli/command.h"

#include "device/register_map.h"
#include "modbus/frames.h"

#include <cstdio>

namespace cli {

namespace {

int Run(Context &context)
{
    const std::string text = context.arguments.value(0).toStdString();
    const auto address = modbus::ParseSlaveAddress(text);
    if (context.arguments.size() != 1 || !address || *address < 1 || *address > 254)
        return BadInput("address: \"" + context.arguments.join(QLatin1Char(' ')).toStdString()
                        + "\" is no new address; allowed 1 to 254");
    Session session(context);
    if (const int status = session.Open())
        return status;
    // every module on the line takes it: the broadcast address, no reply
    const auto sent = session.Exchange(
        modbus::BuildWriteSingleRequest(modbus::kBroadcastAddress, device::kSlaveAddressRegister, *address), "address");
    session.Close();
    if (!sent)
        return kExitExchangeFailed;
    std::printf("address          %d (broadcast, no reply awaited)\n", *address);
    return kExitOk;
}

} // namespace

Command AddressCommand()
{
    return {"address", "address NEW",
            "  Gives the module the slave address NEW (1 to 254): function 6 on register 0x0000\n"
            "  to the broadcast address 0. Nothing answers; use --slave NEW afterwards.\n",
            {}, Run};
}

} // namespace cli
