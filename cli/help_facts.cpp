#include "cli/help_facts.h"

#include "device/parameter_table.h"

#include <cstdio>

namespace cli {

std::string RegisterText(unsigned address)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", address);
    return text;
}

std::vector<KeyLine> KeyLines()
{
    std::vector<KeyLine> lines;
    for (const device::Parameter &p : device::kParameters) {
        std::string range = device::RangeText(p);
        if (p.coding == device::Coding::OnOff)
            range = "on/off; switched by the command output";
        else if (p.written == device::Written::ReadOnly)
            range = std::string(p.unit) + ", read only";
        std::string registers = RegisterText(p.first);
        if (p.registers == 2)
            registers += "-" + RegisterText(p.first + 1u).substr(2);
        lines.push_back({p.key, registers, range});
    }
    return lines;
}

} // namespace cli
