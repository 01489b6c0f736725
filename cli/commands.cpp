#include "cli/command.h"

namespace cli {

Command ReadCommand();
Command WriteCommand();
Command OutputCommand();
Command AddressCommand();

const std::vector<Command> &Commands()
{
    static const std::vector<Command> commands{ReadCommand(), WriteCommand(), OutputCommand(), AddressCommand()};
    return commands;
}

} // namespace cli
