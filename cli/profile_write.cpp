#include "cli/profile_write.h"

#include "cli/command.h"

#include "device/parameters.h"
#include "modbus/frames.h"

namespace cli {

std::optional<std::vector<settings::SetEntry>> ReadProfile(const QString &path, std::string &error)
{
    if (path.isEmpty()) {
        error = "--profile: no file name given";
        return std::nullopt;
    }
    settings::ParsedSet set = settings::ReadParameterSetFile(path);
    if (!set.error.empty()) {
        error = set.error;
        return std::nullopt;
    }
    // A value outside its row's range that the registers hold is one a module held when the
    // file was read from it: it is written back, and said. Any other bad value is the
    // file's fault: the message names it.
    device::Registers scratch{};
    for (settings::SetEntry &entry : set.entries) {
        if (device::ApplyValue(*entry.parameter, entry.text, scratch))
            continue;
        if (!device::ApplyValue(*entry.parameter, entry.text, scratch, device::Bounds::Registers)) {
            error = path.toStdString() + ": " + device::ValueError(*entry.parameter, entry.text);
            return std::nullopt;
        }
        entry.bounds = device::Bounds::Registers;
        Complain(path.toStdString() + ": " + device::ValueError(*entry.parameter, entry.text)
                 + "; written as the file holds it, as a module may hold it (--set keeps to the range)");
    }
    return std::move(set.entries);
}

SentValues ApplyEntries(const std::vector<settings::SetEntry> &entries, device::Registers &registers)
{
    SentValues sent;
    for (const settings::SetEntry &entry : entries)
        sent[entry.parameter] =
            device::ApplyValue(*entry.parameter, entry.text, registers, entry.bounds).value_or(entry.text);
    return sent;
}

std::vector<WriteStep> WriteSteps(uint8_t slave, const device::Registers &registers, const SentValues &sent,
                                  const std::string &what)
{
    std::vector<WriteStep> steps{{device::BuildParameterWriteRequest(slave, registers), what}};
    // a row outside the block goes in a write of its own registers, and only when named
    for (const auto &[p, text] : sent) {
        if (p->written != device::Written::OnItsOwn)
            continue;
        steps.push_back({device::BuildOwnWriteRequest(slave, *p, registers), what + " " + p->key});
    }
    return steps;
}

std::string ReadBackDifference(const device::Registers &written, const device::Registers &readBack)
{
    for (const device::Parameter &p : device::kParameters) {
        if (!device::IsSettable(p))
            continue;
        const std::string wrote = device::ShownValue(p, written);
        const std::string holds = device::ShownValue(p, readBack);
        if (wrote != holds)
            return std::string(p.key) + " sent " + wrote + ", the module holds " + holds;
    }
    return {};
}

std::vector<Change> Changes(const device::Registers &before, const device::Registers &after)
{
    std::vector<Change> changes;
    for (const device::Parameter &p : device::kParameters) {
        if (!device::IsSettable(p))
            continue;
        const std::string was = device::ShownValue(p, before);
        const std::string now = device::ShownValue(p, after);
        if (was != now)
            changes.push_back({&p, was, now});
    }
    return changes;
}

} // namespace cli
