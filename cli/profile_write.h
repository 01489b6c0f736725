#pragma once
#include "settings/parameter_set.h"

#include <QString>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Writing a parameter set to one module and checking it: what `write` does, and what
// `provision` does for each module.
namespace cli {

// The entries of the parameter-set file at `path`, every value checked against its row;
// nullopt with `error`, naming the file, when the file cannot be used.
std::optional<std::vector<settings::SetEntry>> ReadProfile(const QString &path, std::string &error);

// The rounded text that each entry put into the registers, by row.
using SentValues = std::map<const device::Parameter *, std::string>;

// Puts every entry (each already checked) into `registers`, later entries over earlier ones.
SentValues ApplyEntries(const std::vector<settings::SetEntry> &entries, device::Registers &registers);

// One request and the name its failure is reported under.
struct WriteStep {
    std::vector<uint8_t> request;
    std::string what;
};

// The writes that put `registers` into the module at `slave`: the parameter block, then a
// write of its own for each row outside the block that `sent` names.
std::vector<WriteStep> WriteSteps(uint8_t slave, const device::Registers &registers, const SentValues &sent,
                                  const std::string &what);

// Why the module's `readBack` is not what was written: the first settable key that differs,
// "pulse_high sent 1.500, the module holds 0.010"; empty when every key agrees.
std::string ReadBackDifference(const device::Registers &written, const device::Registers &readBack);

// The settable keys whose values differ between `before` and `after`, in the table's order,
// each with both values as the window shows them.
struct Change {
    const device::Parameter *parameter;
    std::string before;
    std::string after;
};
std::vector<Change> Changes(const device::Registers &before, const device::Registers &after);

} // namespace cli
