#include "cli/command.h"
#include "cli/profile_write.h"

#include "device/parameters.h"

#include <cstdio>

namespace cli {

namespace {

const QCommandLineOption kProfile(QStringLiteral("profile"),
                                  QStringLiteral("write: a parameter-set file, as read --json prints it"),
                                  QStringLiteral("FILE"));
const QCommandLineOption kSet(QStringLiteral("set"), QStringLiteral("write: one parameter, KEY=VALUE (repeatable)"),
                              QStringLiteral("KEY=VALUE"));

// The profile's entries, then each --set; the first thing wrong is the message.
std::optional<std::vector<settings::SetEntry>> Entries(const Context &context, std::string &error)
{
    std::vector<settings::SetEntry> entries;
    if (context.parser.isSet(kProfile)) {
        auto profile = ReadProfile(context.parser.value(kProfile), error);
        if (!profile)
            return std::nullopt;
        entries = std::move(*profile);
    }
    for (const QString &assignment : context.parser.values(kSet)) {
        const std::string text = assignment.toStdString();
        const std::size_t equals = text.find('=');
        const std::string key = text.substr(0, equals);
        const device::Parameter *p = device::FindParameter(key);
        if (equals == std::string::npos) {
            error = "--set " + text + ": KEY=VALUE expected";
            return std::nullopt;
        }
        if (!p) {
            error = "--set " + text + ": unknown key \"" + key + "\"";
            return std::nullopt;
        }
        entries.push_back({p, text.substr(equals + 1)});
    }
    // every value is checked before anything goes on the line
    device::Registers scratch{};
    for (const settings::SetEntry &entry : entries) {
        if (!device::ApplyValue(*entry.parameter, entry.text, scratch, entry.bounds)) {
            error = device::ValueError(*entry.parameter, entry.text);
            return std::nullopt;
        }
    }
    return entries;
}

int Run(Context &context)
{
    if (!context.arguments.isEmpty())
        return BadInput("write takes no arguments, got \"" + context.arguments.first().toStdString()
                        + "\" (values go with --set KEY=VALUE)");
    if (!context.parser.isSet(kProfile) && !context.parser.isSet(kSet))
        return BadInput("write: nothing to change; give --profile FILE or --set KEY=VALUE");
    std::string error;
    const auto entries = Entries(context, error);
    if (!entries)
        return BadInput(error);

    Session session(context);
    if (const int status = session.Open())
        return status;
    auto registers = session.ReadBlock("write: reading the module first");
    if (!registers)
        return session.FailureStatus();
    SentValues sent = ApplyEntries(*entries, *registers);
    for (const WriteStep &step : WriteSteps(context.slave, *registers, sent, "write")) {
        if (!session.Exchange(step.request, step.what))
            return session.FailureStatus();
    }
    const auto readBack = session.ReadBlock("write: reading back");
    session.Close();
    if (!readBack)
        return session.FailureStatus();
    if (const std::string difference = ReadBackDifference(*registers, *readBack); !difference.empty()) {
        Complain("write: read-back differs: " + difference);
        return kExitExchangeFailed;
    }
    for (const device::Parameter &p : device::kParameters) {
        if (sent.count(&p))
            std::printf("%-16s %s%s%s\n", p.key, sent[&p].c_str(), *p.unit ? " " : "", p.unit);
    }
    return kExitOk;
}

} // namespace

Command WriteCommand()
{
    return {"write", "write [--profile FILE] [--set KEY=VALUE]...",
            "  Reads the module, applies the profile and then each --set, writes the "
            + std::to_string(device::kParameterBlockCount) + "-register\n"
            "  parameter block (function 16), reads it back and compares. Only the named keys\n"
            "  change. A value is rounded to its key's decimals (halves away from zero); what was\n"
            "  sent is printed. output and pulse_count in a profile are ignored, a null value\n"
            "  leaves its key alone. A profile's value outside its key's range that the registers\n"
            "  hold (as read --json prints a module holding it) is written and named on stderr;\n"
            "  --set keeps to the ranges.\n",
            {kProfile, kSet}, Run};
}

} // namespace cli
