#include "cli/command.h"
#include "cli/stop_signals.h"
#include "cli/traffic.h"

#include "settings/parameter_set.h"
#include "modbus/traffic_log.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <thread>

namespace cli {

namespace {

const QCommandLineOption kInterval(QStringLiteral("interval"), QString(), QStringLiteral("MS"));
const QCommandLineOption kCount(QStringLiteral("count"), QString(), QStringLiteral("N"));
const QCommandLineOption kJson(QStringLiteral("json"));

constexpr int kDefaultIntervalMs = 1000;
constexpr auto kStopCheck = std::chrono::milliseconds(50);

// "output on  pulse_count 7  pwm_voltage 10.0 V  …": the state first, then the parameters.
std::string TextLine(const std::string &time, const device::Registers &registers)
{
    std::string line = time;
    auto add = [&](const device::Parameter &p) {
        // an unknown rate code is shown as such, without the unit, as read shows it
        const bool unit = *p.unit && (p.coding != device::Coding::RateCode || registers[p.first] < device::kBaudRates.size());
        line += std::string("  ") + p.key + " " + device::ShownValue(p, registers) + (unit ? " " : "") + (unit ? p.unit : "");
    };
    for (const device::Parameter &p : device::kParameters)
        if (p.coding == device::Coding::OnOff)
            add(p);
    for (const device::Parameter &p : device::kParameters)
        if (p.written == device::Written::ReadOnly)
            add(p);
    for (const device::Parameter &p : device::kParameters)
        if (device::IsSettable(p))
            add(p);
    return line;
}

std::string JsonLine(const std::string &time, const device::Registers &registers, int retries)
{
    QJsonObject object = settings::ParameterSetObject(registers, false);
    object.insert(QStringLiteral("time"), QString::fromStdString(time));
    object.insert(QStringLiteral("retries"), retries);
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

int Run(Context &context)
{
    if (!context.arguments.isEmpty())
        return BadInput("monitor takes no arguments, got \"" + context.arguments.first().toStdString() + "\"");
    int intervalMs = kDefaultIntervalMs;
    if (context.parser.isSet(kInterval)) {
        const auto ms = WholeNumber(context.parser.value(kInterval), 0, 3600000);
        if (!ms)
            return BadInput("--interval \"" + context.parser.value(kInterval).toStdString() + "\": allowed 0 to 3600000 ms");
        intervalMs = *ms;
    }
    std::optional<int> count;
    if (context.parser.isSet(kCount)) {
        count = WholeNumber(context.parser.value(kCount), 1, 1000000000);
        if (!count)
            return BadInput("--count \"" + context.parser.value(kCount).toStdString() + "\": allowed 1 to 1000000000");
    }
    const bool json = context.parser.isSet(kJson);

    Session session(context);
    if (const int status = session.Open())
        return status;
    int failures = 0;
    for (int done = 0; !StopSignals::Stopped() && (!count || done < *count); ++done) {
        // reads start one interval apart, however long each takes
        const Clock::time_point next = Clock::now() + std::chrono::milliseconds(intervalMs);
        const std::string time = modbus::LogTime(modbus::Clock::now());
        const int retriesBefore = session.Retries();
        if (const auto registers = session.ReadBlock("monitor " + time)) {
            const int retries = session.Retries() - retriesBefore;
            std::printf("%s\n", (json ? JsonLine(time, *registers, retries) : TextLine(time, *registers)).c_str());
            std::fflush(stdout);
        } else {
            ++failures;
        }
        // results that cannot be written end the reads; main says why
        // so does a line that went away
        if ((count && done + 1 == *count) || std::ferror(stdout) || LogWriteFailed() || session.Lost())
            break;
        while (!StopSignals::Stopped() && Clock::now() < next)
            std::this_thread::sleep_for(std::min<Clock::duration>(kStopCheck, next - Clock::now()));
    }
    session.Close();
    if (StopSignals::Stopped()) {
        Complain("monitor: stopped by " + StopSignals::Name());
        return StopSignals::ExitStatus();
    }
    return failures == 0 ? kExitOk : session.FailureStatus();
}

} // namespace

Command MonitorCommand()
{
    return {"monitor", "monitor [--interval MS] [--count N] [--json]",
            "  Reads the " + std::to_string(device::kReadBlockCount) + " registers again and again, one read every MS milliseconds (0 to\n"
            "  3600000, default 1000), and prints one line per read: the time, output, pulse_count\n"
            "  and the parameters (--json: one JSON object per line with \"time\" and \"retries\").\n"
            "  A failed read prints a line on stderr saying why and the reads go on. Ends after N\n"
            "  reads (1 to 1000000000) or at Ctrl+C (exit status 130); exit status 1 when any read\n"
            "  failed; the line lost: exit status 3 at once.\n",
            {kInterval, kCount, kJson}, Run};
}

} // namespace cli
