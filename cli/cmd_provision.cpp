#include "cli/address_probe.h"
#include "cli/command.h"
#include "cli/provision.h"
#include "cli/stop_signals.h"

#include "device/register_map.h"
#include "modbus/frames.h"
#include "modbus/scan_plan.h"

#include <QFile>

#include <cstdio>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace cli {

namespace {

const QCommandLineOption kProfile(QStringLiteral("profile"), QString(), QStringLiteral("FILE"));
const QCommandLineOption kSlaves(QStringLiteral("slaves"), QString(), QStringLiteral("LIST"));
const QCommandLineOption kAssign(QStringLiteral("assign"), QString(), QStringLiteral("FIRST-LAST"));
const QCommandLineOption kFrom(QStringLiteral("from"), QString(), QStringLiteral("ADDRESS"));
const QCommandLineOption kReport(QStringLiteral("report"), QString(), QStringLiteral("FILE"));
const QCommandLineOption kDryRun(QStringLiteral("dry-run"));
const QCommandLineOption kJson(QStringLiteral("json"));

// The addresses a master reaches; 248..255 are reserved on a Modbus line.
constexpr int kHighestAddress = 247;
// How often the bench asks whether a module came or went.
constexpr std::chrono::milliseconds kBenchPoll{250};

// Where each module's outcome goes as it completes: stdout, and the --report file.
class Results {
public:
    Results(bool json, QFile *report) : m_json(json), m_report(report) {}

    void Add(const ModuleOutcome &outcome)
    {
        (outcome.ok ? provisioned : failed).push_back(outcome.slave);
        const QByteArray json = OutcomeJson(outcome) + '\n';
        const QByteArray line = m_json ? json : QByteArray::fromStdString(OneLine(OutcomeText(outcome))) + '\n';
        std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
        std::fflush(stdout);
        if (m_report) {
            // each line on the disk before the next module: the record outlives a crash
            if (m_report->write(json) != json.size() || !m_report->flush())
                reportFailed = true;
#ifndef _WIN32
            ::fsync(m_report->handle());
#endif
        }
    }

    std::vector<int> provisioned;
    std::vector<int> failed;
    bool reportFailed = false;

private:
    bool m_json;
    QFile *m_report;
};

// Asks `address` at the session's rate with scan's short wait.
bool Answers(Session &session, const Context &context, int address)
{
    const auto probe = modbus::BuildReadRequest(static_cast<uint8_t>(address), device::kReadBlockFirst, 1);
    const auto timeout = context.parser.isSet(QStringLiteral("timeout"))
                             ? context.timeout
                             : modbus::AnswerTimeout(session.Baud(), probe.size(), modbus::ExpectedReplyLength(probe));
    Exchanger exchanger(session.OpenLine(), timeout);
    exchanger.frameSilence = modbus::FrameSilence(session.Baud());
    exchanger.observer = context.observer;
    exchanger.sentObserver = context.sentObserver;
    const bool answered = Ask(exchanger, address, timeout).answered;
    return !session.CheckLost("asking address " + std::to_string(address)) && answered;
}

// Asks `address` at each of `rates`, the line reopened for another rate and for the
// session's own after. A line that cannot be reopened is lost (Session::Lost).
bool AnswersAtAny(Session &session, const Context &context, int address, const std::vector<int> &rates)
{
    const int lineBaud = session.Baud();
    bool answered = false;
    for (const int rate : rates) {
        if (answered || session.Lost())
            break;
        if (rate == lineBaud || session.Open(rate) == kExitOk)
            answered = Answers(session, context, address);
    }
    if (session.Baud() != lineBaud && !session.Lost())
        session.Open(lineBaud);
    return answered;
}

// Waits until asking `address` gives `present`, saying `message` once when it has to wait.
// False when Ctrl+C or a lost line ended the wait.
bool WaitFor(Session &session, const Context &context, int address, const std::vector<int> &rates, bool present,
             const std::string &message)
{
    bool said = false;
    for (;;) {
        if (StopSignals::Stopped() || session.Lost())
            return false;
        const bool answered = AnswersAtAny(session, context, address, rates);
        if (StopSignals::Stopped() || session.Lost())
            return false;
        if (answered == present)
            return true;
        if (!said)
            Complain(message);
        said = true;
        // bytes that come meanwhile answer nothing asked
        session.OpenLine().WaitForBytes(Clock::now() + kBenchPoll);
    }
}

// The modules the line holds at the session's rate: scan's question to 1..247.
std::vector<int> FoundModules(Session &session, const Context &context)
{
    std::vector<int> found;
    for (int address = 1; address <= kHighestAddress && !StopSignals::Stopped() && !session.Lost(); ++address) {
        if (Answers(session, context, address))
            found.push_back(address);
    }
    return found;
}

// Provisions the modules at `addresses`, in order.
void ProvisionLine(Session &session, const std::vector<int> &addresses, const std::vector<settings::SetEntry> &entries,
                   int newBaud, bool dryRun, Results &results)
{
    for (const int address : addresses) {
        if (StopSignals::Stopped())
            return;
        results.Add(ProvisionModule(session, address, entries, std::nullopt, newBaud, dryRun));
        if (session.Lost())
            return;
    }
}

// The bench: modules arrive one at a time at `from`; each gets the next address of `range`
// and the profile. Every address is given once.
void ProvisionBench(Session &session, const Context &context, int from, modbus::SlaveRange range,
                    const std::vector<settings::SetEntry> &entries, int newBaud, Results &results,
                    std::vector<int> &used)
{
    std::vector<int> rates{session.Baud()};
    if (newBaud != 0 && newBaud != session.Baud())
        rates.push_back(newBaud);
    const std::string fromText = std::to_string(from);
    for (int next = range.first; next <= range.last;) {
        if (!WaitFor(session, context, from, {session.Baud()}, true,
                     "waiting for a module at address " + fromText + "..."))
            return;
        // the address change is a broadcast: any other module on the line would take it too,
        // the one given last (not yet taken off) or one already at the address
        for (const int other : {used.empty() ? 0 : used.back(), next}) {
            if (other != 0
                && !WaitFor(session, context, other, rates, false,
                            "address " + std::to_string(other) + " answers: another module is on the line and "
                                "would take the broadcast address change too; remove it..."))
                return;
        }
        const int address = next++;
        used.push_back(address);
        const std::string addressText = std::to_string(address);
        ModuleOutcome outcome;
        outcome.slave = address;
        std::optional<device::Registers> before;
        if (!session.Exchange(modbus::BuildWriteSingleRequest(modbus::kBroadcastAddress, device::kSlaveAddressRegister,
                                                              static_cast<uint16_t>(address)),
                              "giving address " + addressText)) {
            outcome.error = session.LastFailure();
        } else if (!(before = session.ReadBlock(static_cast<uint8_t>(address), "reading at address " + addressText))) {
            outcome.error = "no answer at its new address: " + session.LastFailure();
        } else if (!session.Lost() && Answers(session, context, from)) {
            outcome.error = "still answers at address " + fromText + " after taking " + addressText;
        } else {
            outcome = ProvisionModule(session, address, entries, before, newBaud, false);
        }
        results.Add(outcome);
        if (session.Lost())
            return;
        // a module that kept the old address is taken off before the next one counts
        if (!WaitFor(session, context, from, {session.Baud()}, false,
                     "the module still answers at address " + fromText + "; take it off..."))
            return;
    }
}

int Run(Context &context)
{
    const QCommandLineParser &parser = context.parser;
    if (!context.arguments.isEmpty())
        return BadInput("provision takes no arguments, got \"" + context.arguments.first().toStdString() + "\"");
    if (parser.isSet(QStringLiteral("slave")))
        return BadInput("provision: --slave: give the modules with --slaves LIST, or a bench with --assign FIRST-LAST");
    if (!parser.isSet(kProfile))
        return BadInput("provision: no profile; give --profile FILE (a parameter-set file, as read --json prints it)");
    if (parser.isSet(kSlaves) == parser.isSet(kAssign))
        return BadInput("provision: give either --slaves LIST (modules on a line) or --assign FIRST-LAST (a bench)");
    if (parser.isSet(kFrom) && !parser.isSet(kAssign))
        return BadInput("provision: --from belongs to the bench (--assign FIRST-LAST)");
    const bool dryRun = parser.isSet(kDryRun);
    if (dryRun && parser.isSet(kAssign))
        return BadInput("provision: --dry-run reads modules at their addresses; give --slaves LIST");

    std::string error;
    const auto entries = ReadProfile(parser.value(kProfile), error);
    if (!entries)
        return BadInput(error);
    // the module answers at its new rate after the write; it is verified there, which a
    // serial server over TCP, whose rate is its own, cannot do
    const int newBaud = ProfileRate(*entries) == context.baud ? 0 : ProfileRate(*entries);
    if (newBaud != 0 && !dryRun && context.portText.find("://") != std::string::npos)
        return BadInput("provision: " + parser.value(kProfile).toStdString() + " sets module_baud "
                        + std::to_string(newBaud) + ", and over " + context.portText
                        + " the server sets the line's rate, so the module cannot be verified at its new rate; "
                          "leave module_baud out or give the line's rate, or provision on a serial line");

    std::vector<int> addresses;
    const std::string list = parser.value(kSlaves).toStdString();
    if (parser.isSet(kSlaves) && list != "found") {
        const auto parsed = modbus::ParseSlaveList(list);
        if (!parsed)
            return BadInput("--slaves \"" + list + "\": allowed found, or addresses and ranges A-B from 1 to 255 "
                            "separated by commas (3,5,10-20)");
        addresses = *parsed;
    }
    int from = 1;
    modbus::SlaveRange range;
    if (parser.isSet(kAssign)) {
        const std::string assign = parser.value(kAssign).toStdString();
        const auto parsed = modbus::ParseSlaveRange(assign);
        if (!parsed || parsed->last > kHighestAddress)
            return BadInput("--assign \"" + assign + "\": allowed FIRST-LAST, addresses 1 to 247, FIRST not above LAST");
        range = *parsed;
        if (parser.isSet(kFrom)) {
            const auto address = WholeNumber(parser.value(kFrom), 1, kHighestAddress);
            if (!address)
                return BadInput("--from \"" + parser.value(kFrom).toStdString() + "\": allowed 1 to 247");
            from = *address;
        }
        if (from >= range.first && from <= range.last)
            return BadInput("--assign " + assign + " holds the address the modules arrive at (--from "
                            + std::to_string(from) + "); give a range without it");
    }
    std::unique_ptr<QFile> report;
    if (parser.isSet(kReport)) {
        report = std::make_unique<QFile>(parser.value(kReport));
        if (!report->open(QIODevice::WriteOnly | QIODevice::Append))
            return BadInput("--report \"" + parser.value(kReport).toStdString()
                            + "\": cannot append to it: " + report->errorString().toStdString());
    }

    Session session(context);
    // failures go into each module's line; Ctrl+C waits for the module's end
    session.reportFailures = false;
    session.stopEndsWaits = false;
    if (session.Open() != kExitOk) {
        Complain(session.LastFailure());
        return kExitPortUnavailable;
    }
    Results results(parser.isSet(kJson), report.get());
    std::vector<int> used;
    if (parser.isSet(kAssign)) {
        ProvisionBench(session, context, from, range, *entries, newBaud, results, used);
    } else {
        if (list == "found") {
            addresses = FoundModules(session, context);
            if (!session.Lost() && !StopSignals::Stopped())
                Complain("provision: found " + std::to_string(addresses.size()) + " module(s)"
                         + (addresses.empty() ? "" : ": " + AddressRuns(addresses)));
        }
        ProvisionLine(session, addresses, *entries, newBaud, dryRun, results);
    }
    const bool lost = session.Lost();
    session.Close();

    std::string summary = std::to_string(results.provisioned.size()) + (dryRun ? " read" : " provisioned") + ", "
                          + std::to_string(results.failed.size()) + " failed";
    if (!results.failed.empty())
        summary += " (" + AddressRuns(results.failed) + ")";
    if (parser.isSet(kAssign))
        summary += used.empty() ? "; no address used" : "; addresses used " + AddressRuns(used);
    if (lost) {
        Complain("provision: " + session.LastFailure());
        Complain("provision: line lost; " + summary);
        return kExitPortUnavailable;
    }
    if (results.reportFailed)
        Complain("--report \"" + parser.value(kReport).toStdString() + "\": cannot write to it; the record is not complete");
    if (StopSignals::Stopped()) {
        Complain("provision: stopped; " + summary);
        return StopSignals::ExitStatus();
    }
    Complain("provision: " + summary);
    if (results.reportFailed)
        return kExitOutputFailed;
    if (!parser.isSet(kAssign) && results.provisioned.empty() && results.failed.empty())
        return kExitExchangeFailed;  // `found` found nothing
    return results.failed.empty() ? kExitOk : kExitExchangeFailed;
}

} // namespace

Command ProvisionCommand()
{
    return {"provision",
            "provision --profile FILE (--slaves LIST|found [--dry-run] | --assign FIRST-LAST [--from ADDRESS])\n"
            "          [--report FILE] [--json]",
            "  Gives many modules one parameter-set file. For each module in turn: reads it, writes\n"
            "  the profile as write --profile does, reads it back and compares every key; one line\n"
            "  per module as it completes (\"slave 3 ok: pwm_voltage: 10.0 -> 12.6\" or \"slave 3\n"
            "  failed: why\"; --json: {\"slave\":3,\"ok\":true,\"changed\":{KEY:[BEFORE,AFTER]},\n"
            "  \"retries\":N} or \"error\"), and a summary on stderr. A module that fails is reported\n"
            "  and the rest go on.\n"
            "  --slaves LIST: the modules on the line, e.g. 3,5,10-20 (1 to 255); found: those a scan\n"
            "  of 1-247 at --baud finds. --dry-run: reads each and prints what would change\n"
            "  (\"key: now -> then\"); nothing is written.\n"
            "  --assign FIRST-LAST (1 to 247): the bench. Modules arrive one at a time at --from\n"
            "  ADDRESS (default 1) at --baud; each gets the next address of the range (the broadcast\n"
            "  address change, so only once the address and the one given last are silent on the\n"
            "  line), is confirmed there and gone from ADDRESS, then gets the profile. Ends after\n"
            "  LAST or on Ctrl+C; never gives an address twice. --report FILE appends each\n"
            "  module's JSON line to FILE as it completes.\n"
            "  A profile whose module_baud differs from --baud is verified at the new rate (the\n"
            "  port reopened at it; the line says \"verified at R baud\"); over tcp:// it is refused.\n"
            "  Exit status: 0 all provisioned, 1 any failed (or found none), 2 bad input, 3 the line\n"
            "  lost (stops at once), 128+n a signal n (130 Ctrl+C; after the module in hand); what was\n"
            "  done is printed.\n",
            {kProfile, kSlaves, kAssign, kFrom, kReport, kDryRun, kJson}, Run};
}

} // namespace cli
