#include "cli/address_probe.h"
#include "cli/command.h"
#include "cli/stop_signals.h"

#include "device/register_map.h"
#include "modbus/frames.h"
#include "modbus/scan_plan.h"
#include "serial/port_names.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <unistd.h>

namespace cli {

namespace {

const QCommandLineOption kSlaves(QStringLiteral("slaves"), QString(), QStringLiteral("LIST"));
const QCommandLineOption kBauds(QStringLiteral("bauds"), QString(), QStringLiteral("LIST"));
const QCommandLineOption kJson(QStringLiteral("json"));

struct Found {
    int slave;
    int baud;
};

// The progress bar: redrawn in place on stderr when that is a terminal, else never shown.
class Progress {
public:
    void Show(const std::string &line)
    {
        if (m_terminal)
            std::fprintf(stderr, "\r%s\033[K", line.c_str());
    }
    void Clear()
    {
        if (m_terminal)
            std::fputs("\r\033[K", stderr);
    }

private:
    bool m_terminal = isatty(STDERR_FILENO) == 1;
};

int Run(Context &context)
{
    if (!context.arguments.isEmpty())
        return BadInput("scan takes no arguments, got \"" + context.arguments.first().toStdString() + "\"");
    const std::string slaves = context.parser.isSet(kSlaves) ? context.parser.value(kSlaves).toStdString() : "1-247";
    const auto addresses = modbus::ParseSlaveList(slaves);
    if (!addresses)
        return BadInput("--slaves \"" + slaves + "\": allowed addresses and ranges A-B from 1 to 255 (A not above B) "
                        "separated by commas (3,5,10-20)");
    std::vector<int> rates{context.baud};
    // the serial server sets the line's rate: every module would be "found" at every rate
    if (context.parser.isSet(kBauds) && serial::IsTcpPortText(context.portText))
        return BadInput("--bauds: not over " + context.portText
                        + ": the serial server sets the line's rate; set it there and scan once per rate");
    if (context.parser.isSet(kBauds) && serial::IsModbusTcpPortText(context.portText))
        return BadInput("--bauds: not over " + context.portText
                        + ": the gateway sets the line's rate; set it there and scan once per rate");
    if (context.parser.isSet(kBauds)) {
        std::vector<int> offered;
        for (const char *rate : device::kBaudRates)
            offered.push_back(std::stoi(rate));
        const auto list = modbus::ParseRateList(context.parser.value(kBauds).toStdString(), offered);
        if (!list)
            return BadInput("--bauds \"" + context.parser.value(kBauds).toStdString()
                            + "\": allowed all, or rates separated by commas from "
                            + device::BaudRatesText(", ", ", "));
        rates = *list;
    }
    const bool json = context.parser.isSet(kJson);

    std::vector<Found> found;
    Progress progress;
    int status = kExitOk;
    for (const int baud : rates) {
        if (StopSignals::Stopped())
            break;
        // each rate on a freshly opened port
        const std::unique_ptr<Line> line = MakeLine(context.portText, baud, context.timeout);
        const OpenOutcome opened = line->Open();
        if (!opened.Opened()) {
            progress.Clear();
            Complain(opened.failure);
            status = kExitPortUnavailable;
            break;
        }
        const auto probe = modbus::BuildReadRequest(1, device::kReadBlockFirst, 1);
        const auto timeout = context.parser.isSet(QStringLiteral("timeout"))
                                 ? context.timeout
                                 : modbus::AnswerTimeout(baud, probe.size(), modbus::ExpectedReplyLength(probe));
        Exchanger exchanger(*line, timeout);
        exchanger.frameSilence = modbus::FrameSilence(baud);
        exchanger.observer = context.observer;
        exchanger.sentObserver = context.sentObserver;
        for (std::size_t done = 0; done < addresses->size() && !StopSignals::Stopped(); ++done) {
            const int slave = (*addresses)[done];
            progress.Show(modbus::ProgressLine(baud, slave, static_cast<int>(done), static_cast<int>(addresses->size()),
                                               slaves, static_cast<int>(found.size())));
            const Asked asked = Ask(exchanger, slave, timeout);
            for (const int module : {asked.late, asked.answered ? slave : 0}) {
                if (module == 0 || (!found.empty() && found.back().slave == module && found.back().baud == baud))
                    continue;
                found.push_back({module, baud});
                if (!json) {
                    progress.Clear();
                    std::printf("slave %d baud %d\n", module, baud);
                    std::fflush(stdout);
                }
            }
            // a line that went away ends the scan: what was found is printed
            if (const std::string lost = line->Lost(); !lost.empty()) {
                progress.Clear();
                Complain("scan: " + lost);
                status = kExitPortUnavailable;
                break;
            }
        }
        line->Close();
        if (status != kExitOk)
            break;
    }
    progress.Clear();

    if (json) {
        QJsonArray modules;
        for (const Found &module : found)
            modules.append(QJsonObject{{QStringLiteral("slave"), module.slave}, {QStringLiteral("baud"), module.baud}});
        const QByteArray text = QJsonDocument(modules).toJson(QJsonDocument::Compact) + '\n';
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
    }
    if (StopSignals::Stopped()) {
        Complain("scan: stopped by " + StopSignals::Name() + "; " + std::to_string(found.size())
                 + " module(s) found until then");
        return StopSignals::ExitStatus();
    }
    if (status != kExitOk)
        return status;
    if (found.empty()) {
        Complain("scan: no module answered at slaves " + slaves + " on " + MakeLine(context.portText, context.baud, context.timeout)->Name());
        return kExitExchangeFailed;
    }
    return kExitOk;
}

} // namespace

Command ScanCommand()
{
    return {"scan", "scan [--slaves LIST] [--bauds LIST|all] [--json]",
            "  Finds modules: asks each address of the --slaves LIST (addresses and ranges A-B, e.g.\n"
            "  3,5,10-20; default 1-247), in its order, for register 0x0000, at the --baud rate, or\n"
            "  at each rate of the --bauds LIST (e.g. 9600,19200; all: every rate of --baud), reopening\n"
            "  the port for each (not over tcp:// or modbus-tcp://, where the server sets the rate;\n"
            "  over modbus-tcp:// it asks unit ids, and a gateway's exception 10 or 11 is no module).\n"
            "  Waits per address as long as the request and the reply take at that rate plus 50 ms;\n"
            "  a module slower to answer is found with a longer --timeout MS (e.g. 300), and one that\n"
            "  answers after its wait, while the next address is asked, is still reported. Prints\n"
            "  \"slave N baud B\" for each module as it answers; --json: one array of\n"
            "  {\"slave\": N, \"baud\": B} at the end. A progress bar on stderr when it is a terminal.\n"
            "  Ctrl+C, SIGTERM or SIGHUP stops it with what was found printed (exit status 128+n:\n"
            "  130 for Ctrl+C); none found: exit status 1; the line lost: exit status 3, with what\n"
            "  was found printed.\n",
            {kSlaves, kBauds, kJson}, Run};
}

} // namespace cli
