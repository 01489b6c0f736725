#include "cli/provision.h"

#include "device/register_map.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace cli {

int ProfileRate(const std::vector<settings::SetEntry> &entries)
{
    int rate = 0;
    for (const settings::SetEntry &entry : entries) {
        if (entry.parameter->coding == device::Coding::RateCode && device::BaudRateCodeFor(entry.text))
            rate = std::stoi(entry.text);
    }
    return rate;
}

namespace {

ModuleOutcome Provision(Session &session, int slave, const std::vector<settings::SetEntry> &entries,
                        std::optional<device::Registers> before, int newBaud, bool dryRun)
{
    ModuleOutcome outcome;
    outcome.slave = slave;
    outcome.dryRun = dryRun;
    const auto address = static_cast<uint8_t>(slave);
    if (!before)
        before = session.ReadBlock(address, "reading");
    if (!before) {
        outcome.error = session.LastFailure();
        return outcome;
    }
    outcome.before = *before;
    device::Registers written = *before;
    const SentValues sent = ApplyEntries(entries, written);
    outcome.after = written;
    if (dryRun) {
        outcome.ok = true;
        return outcome;
    }

    const int lineBaud = session.Baud();
    const bool rateChanges = newBaud != 0 && newBaud != lineBaud;
    for (const WriteStep &step : WriteSteps(address, written, sent, "writing")) {
        // the module may confirm a change of its rate at the new rate: the read-back at
        // that rate decides
        if (!session.Exchange(step.request, step.what) && (session.Lost() || !rateChanges)) {
            outcome.error = session.LastFailure();
            return outcome;
        }
    }
    std::optional<device::Registers> readBack;
    if (!rateChanges) {
        readBack = session.ReadBlock(address, "reading back");
    } else if (session.Open(newBaud) == kExitOk) {
        readBack = session.ReadBlock(address, "reading back at " + std::to_string(newBaud) + " baud");
        outcome.verifiedBaud = newBaud;
    }
    if (!readBack)
        outcome.error = session.LastFailure();
    // the next module is asked at the line's rate
    if (rateChanges && session.Open(lineBaud) != kExitOk && outcome.error.empty())
        outcome.error = session.LastFailure();
    if (!outcome.error.empty())
        return outcome;
    if (const std::string difference = ReadBackDifference(written, *readBack); !difference.empty()) {
        outcome.error = "read-back differs: " + difference;
        return outcome;
    }
    outcome.after = *readBack;
    outcome.ok = true;
    return outcome;
}

} // namespace

ModuleOutcome ProvisionModule(Session &session, int slave, const std::vector<settings::SetEntry> &entries,
                              std::optional<device::Registers> before, int newBaud, bool dryRun)
{
    const int retriesBefore = session.Retries();
    ModuleOutcome outcome = Provision(session, slave, entries, std::move(before), newBaud, dryRun);
    outcome.retries = session.Retries() - retriesBefore;
    return outcome;
}

std::string OutcomeText(const ModuleOutcome &outcome)
{
    std::string text = "slave " + std::to_string(outcome.slave);
    if (!outcome.ok)
        return text + " failed: " + outcome.error;
    text += outcome.dryRun ? " would change" : " ok";
    if (outcome.verifiedBaud)
        text += ", verified at " + std::to_string(outcome.verifiedBaud) + " baud";
    const std::vector<Change> changes = Changes(outcome.before, outcome.after);
    if (changes.empty())
        return text + (outcome.dryRun ? ": nothing" : ": nothing changed");
    std::string list;
    for (const Change &change : changes)
        list += (list.empty() ? "" : ", ") + std::string(change.parameter->key) + ": " + change.before + " -> " + change.after;
    return text + ": " + list;
}

QByteArray OutcomeJson(const ModuleOutcome &outcome)
{
    QJsonObject object;
    if (!outcome.ok) {
        object.insert(QStringLiteral("error"), QString::fromStdString(outcome.error));
    } else {
        QJsonObject changed;
        for (const Change &change : Changes(outcome.before, outcome.after)) {
            changed.insert(QString::fromLatin1(change.parameter->key),
                           QJsonArray{settings::JsonValue(*change.parameter, outcome.before),
                                      settings::JsonValue(*change.parameter, outcome.after)});
        }
        object.insert(outcome.dryRun ? QStringLiteral("would_change") : QStringLiteral("changed"), changed);
        if (outcome.verifiedBaud)
            object.insert(QStringLiteral("verified_baud"), outcome.verifiedBaud);
    }
    object.insert(QStringLiteral("retries"), outcome.retries);
    // "slave" and "ok" lead, as a reader scans the lines; QJsonObject would sort them in
    const QByteArray rest = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return "{\"slave\":" + QByteArray::number(outcome.slave) + ",\"ok\":" + (outcome.ok ? "true" : "false")
           + "," + rest.mid(1);
}

std::string AddressRuns(const std::vector<int> &addresses)
{
    std::string text;
    for (std::size_t i = 0; i < addresses.size();) {
        std::size_t end = i;
        while (end + 1 < addresses.size() && addresses[end + 1] == addresses[end] + 1)
            ++end;
        text += (text.empty() ? "" : ", ") + std::to_string(addresses[i]);
        if (end > i)
            text += "-" + std::to_string(addresses[end]);
        i = end + 1;
    }
    return text;
}

} // namespace cli
