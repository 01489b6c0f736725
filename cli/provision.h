#pragma once
#include "cli/command.h"
#include "cli/profile_write.h"

#include <QByteArray>

#include <string>
#include <vector>

// One module provisioned: read, the profile written, read back and compared; and the line
// that tells what came of it.
namespace cli {

struct ModuleOutcome {
    int slave = 0;
    bool ok = false;
    bool dryRun = false;          // read only: `after` is what the write would leave
    std::string error;            // why not ok, one line
    device::Registers before{};   // as read first
    device::Registers after{};    // as read back (a dry run: as it would be written)
    int verifiedBaud = 0;         // the rate of the read-back when the profile changed the module's rate
    int retries = 0;              // how often a request to this module was asked again (--retries)
};

// What the profile does to the module's rate: the rate it sets, 0 when it names none.
int ProfileRate(const std::vector<settings::SetEntry> &entries);

// Provisions the module at `slave` on the session's open line: reads it (unless `before`
// holds what was just read), writes the profile's entries, reads back and compares every
// settable key. A profile that sets another rate than the line's (`newBaud`, 0 for none)
// is verified at that rate, the line reopened at it for the read-back and at the session's
// rate again after. A dry run reads only.
ModuleOutcome ProvisionModule(Session &session, int slave, const std::vector<settings::SetEntry> &entries,
                              std::optional<device::Registers> before, int newBaud, bool dryRun);

// "slave 3 ok: pwm_voltage: 10.0 -> 12.6", "slave 3 failed: reading: no reply ...",
// "slave 3 would change: ..."; no line end.
std::string OutcomeText(const ModuleOutcome &outcome);

// {"slave": 3, "ok": true, "changed": {"pwm_voltage": [10, 12.6]}, "retries": 0}, compact,
// no line end; "error" when not ok, "would_change" for a dry run, "verified_baud" after a
// rate change.
QByteArray OutcomeJson(const ModuleOutcome &outcome);

// "10-13, 15": the addresses in runs, in the order given.
std::string AddressRuns(const std::vector<int> &addresses);

} // namespace cli
