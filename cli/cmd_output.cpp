#include "cli/command.h"

#include "device/register_map.h"
#include "modbus/frames.h"

#include <cstdio>

namespace cli {

namespace {

int Run(Context &context)
{
    const QString state = context.arguments.value(0);
    if (context.arguments.size() != 1 || (state != QLatin1String("on") && state != QLatin1String("off")))
        return BadInput("output: on or off expected, got \"" + context.arguments.join(QLatin1Char(' ')).toStdString()
                        + "\"");
    Session session(context);
    if (const int status = session.Open())
        return status;
    const uint16_t value = state == QLatin1String("on") ? 1 : 0;
    const auto reply =
        session.Exchange(modbus::BuildWriteSingleRequest(context.slave, device::OutputState, value), "output");
    session.Close();
    if (!reply)
        return session.FailureStatus();
    std::printf("output           %s\n", value ? "on" : "off");
    return kExitOk;
}

} // namespace

Command OutputCommand()
{
    return {"output", "output on|off",
            "  Switches the module's output: function 6, register " + RegisterText(device::OutputState)
                + ", 1 for on, 0 for off.\n",
            {}, Run};
}

} // namespace cli
