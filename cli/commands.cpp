#include "cli/command.h"

namespace cli {

Command ReadCommand();
Command WriteCommand();
Command OutputCommand();
Command AddressCommand();
Command ScanCommand();
Command PortsCommand();
Command MonitorCommand();
Command ProvisionCommand();

const std::vector<Command> &Commands()
{
    static const std::vector<Command> commands{ReadCommand(),   WriteCommand(), OutputCommand(), AddressCommand(),
                                                ScanCommand(),   PortsCommand(), MonitorCommand(),
                                                ProvisionCommand()};
    return commands;
}

} // namespace cli
