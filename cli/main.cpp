// velqorctl: the module's parameters, output and address from the command line.

#include "settings/settings_file.h"
#include "settings/settings_store.h"
#include "cli/command.h"
#include "cli/stop_signals.h"
#include "cli/traffic.h"
#include "device/parameters.h"
#include "serial/port_names.h"

#include <QCoreApplication>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX  // std::min and std::max, not the macros
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using namespace cli;

const QCommandLineOption kPort(QStringLiteral("port"), QString(), QStringLiteral("P"));
const QCommandLineOption kBaud(QStringLiteral("baud"), QString(), QStringLiteral("B"));
const QCommandLineOption kSlave(QStringLiteral("slave"), QString(), QStringLiteral("N"));
const QCommandLineOption kTimeout(QStringLiteral("timeout"), QString(), QStringLiteral("MS"));
const QCommandLineOption kLog(QStringLiteral("log"), QString(), QStringLiteral("FILE"));
const QCommandLineOption kRetries(QStringLiteral("retries"), QString(), QStringLiteral("N"));

constexpr int kMostRetries = 10;
const QCommandLineOption kHelp(QStringList{QStringLiteral("h"), QStringLiteral("help")});
const QCommandLineOption kVersion(QStringLiteral("version"));

// An option's text broken at blanks to at most 90 columns, the further lines indented to the
// option texts.
std::string OptionText(const std::string &text)
{
    const std::string indent(17, ' ');
    std::string lines;
    std::string line;
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t end = text.find(' ', from + 1);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(from, end - from);
        if (line.size() + word.size() > 90 && line.size() > indent.size()) {
            lines += line + "\n";
            line = indent + word.substr(1);
        } else {
            line += word;
        }
        from = end;
    }
    return lines + line + "\n";
}

std::string HelpText()
{
    std::string text =
        "Usage: velqorctl [options] COMMAND [arguments]   (options may also stand after the command)\n"
        "Reads and writes the signal-generator module over Modbus RTU, as velqor-config does.\n"
        "\nCommands:\n";
    for (const Command &command : Commands()) {
        text += std::string("  ") + command.synopsis + "\n";
        for (const QString &line : QString::fromStdString(command.help).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            text += "  " + line.toStdString() + "\n";
    }
    text +=
        "\nOptions:\n"
#ifdef _WIN32
        "  --port P       COMn, n 1 to 256 in any letter case (COM3, com12), the port as Windows\n"
        "                 and the Device Manager name it, tcp://HOST:PORT: the same RTU frames\n"
        "                 through a transparent serial server over TCP, or\n"
        "                 modbus-tcp://HOST[:PORT]: Modbus TCP (MBAP, port 502 unless given) to\n"
        "                 a Modbus gateway, --slave being the unit id\n"
#else
        "  --port P       COMn, n 1 to 256 in any letter case (found as the window finds it: a\n"
        "                 file COMn in the working folder, else /dev/ttyS(n-1)), a device path\n"
        "                 such as /dev/ttyUSB0, tcp://HOST:PORT: the same RTU frames through a\n"
        "                 transparent serial server over TCP, or modbus-tcp://HOST[:PORT]: Modbus\n"
        "                 TCP (MBAP, port 502 unless given) to a Modbus gateway, --slave being\n"
        "                 the unit id\n"
#endif
        ;
    text += OptionText("  --baud B       the PC's rate in baud, one of the window's: " + device::BaudRatesText(", ", ", "));
    text +=
        "  --slave N      the module's slave address, 1 to 255 (default 1)\n"
        "  --timeout MS   how long to wait for a reply, 1 to 60000 ms (default "
        + std::to_string(kDefaultTimeout.count()) + "); it bounds\n"
        "                 every exchange, floods included, and the wait for a TCP connection;\n"
        "                 after an unanswered request the next of the same kind waits for one\n"
        "                 time-out of quiet first\n"
#ifdef _WIN32
        "                 without --port / --baud: com.txt in the working folder, else the\n"
        "                 window's own in %APPDATA%\\velqor-config; without com.txt COM1 and "
        + std::to_string(kDefaultBaud) + "\n"
#else
        "                 without --port / --baud: com.txt in the working folder, as the window\n"
        "                 reads it; without com.txt COM1 and " + std::to_string(kDefaultBaud) + "\n"
#endif
        "  --retries N    ask again up to N times (0 to 10, default 0) after no reply, a bad CRC,\n"
        "                 a reply of the wrong length or from another slave: reads, the parameter\n"
        "                 write and the output switch, never the address change; each retry adds\n"
        "                 at most the timeout and 3.5 characters; logged, and \"retries\" in --json\n"
        "  --log FILE     append every request and every reply or silence to FILE, with the\n"
        "                 time to the millisecond and the verdict; - writes it to stdout\n"
        "  -h, --help     this text\n"
        "  --version      the version\n"
        "\nKeys (write --set KEY=VALUE, parameter-set files, read):\n";
    for (const KeyLine &key : KeyLines()) {
        char line[160];
        std::snprintf(line, sizeof line, "  %-16s %-12s %s\n", key.key.c_str(), key.registers.c_str(), key.range.c_str());
        text += line;
    }
    text +=
        "\nExit status: 0 done; 1 the exchange failed (no reply, bad CRC, another slave, an\n"
        "exception, a read-back that differs); 2 bad input, nothing sent; 3 the port cannot be opened\n"
        "or was lost; 4 stdout or the --log file could not be written; 128+n stopped by signal n, the\n"
        "same for every command: 130 Ctrl+C (SIGINT), 143 SIGTERM, 129 SIGHUP (a scan or a\n"
        "provision prints what it found or did; a write sent but not confirmed says so).\n"
        "Results go to stdout, messages to stderr, in English. The window's language is chosen\n"
        "when it starts: velqor-config --lang en (or the desktop entry's action English).\n";
    return text;
}

// --port, --baud, --slave and --timeout, with com.txt's port and rate where they are not given.
int LineOptions(const QCommandLineParser &parser, Context &context)
{
    std::string storedIn = settings::kSettingsFileName;
    const settings::StoredSettings stored = settings::ReadSettingsForCommandLine(&storedIn);

    if (parser.isSet(kPort)) {
        context.portText = parser.value(kPort).toStdString();
        if (context.portText.empty())
            return BadInput("--port: empty; allowed COM1 to COM256, a device path, tcp://HOST:PORT or "
                            "modbus-tcp://HOST[:PORT]");
        if (serial::IsTcpPortText(context.portText) && !serial::ParseTcpAddress(context.portText))
            return BadInput("--port \"" + context.portText + "\": allowed tcp://HOST:PORT, PORT 1 to 65535");
        if (serial::IsModbusTcpPortText(context.portText) && !serial::ParseModbusTcpAddress(context.portText))
            return BadInput("--port \"" + context.portText
                            + "\": allowed modbus-tcp://HOST or modbus-tcp://HOST:PORT, PORT 1 to 65535 (502 when "
                              "left out), an IPv6 HOST in brackets");
        // COMn (any letter case, 1 to 256) is a port; any other COM name is none, and is
        // not opened as a file of that name
        if (serial::LooksLikePortName(context.portText) && !serial::ParsePortName(context.portText)) {
            Complain("port " + context.portText + " does not exist: " + serial::NoSuchPortReason(context.portText));
            return kExitPortUnavailable;
        }
    } else if (stored.portText) {
        const int index = settings::PortIndexFromText(*stored.portText, serial::kHighestPortNumber);
        if (index < 0)
            return BadInput(storedIn + " line 1 \"" + *stored.portText + "\" names no port COM1 to COM"
                            + std::to_string(serial::kHighestPortNumber) + "; give --port");
        context.portText = "COM" + std::to_string(index + 1);
    } else {
        context.portText = "COM1";
    }

    // the window's port takes line 2 with blanks around it
    const QString baud = parser.isSet(kBaud) ? parser.value(kBaud)
                         : stored.baudText ? QString::fromStdString(*stored.baudText).trimmed() : QString::number(kDefaultBaud);
    // --baud is one of the window's rates; com.txt's line 2 is taken as the window takes it,
    // also when typed by hand
    const auto rate = parser.isSet(kBaud) && !device::BaudRateCodeFor(baud.toStdString()) ? std::nullopt
                                                                                           : WholeNumber(baud, 1, 4000000);
    if (!rate)
        return BadInput(std::string(parser.isSet(kBaud) ? "--baud" : "com.txt line 2") + " \"" + baud.toStdString()
                        + "\": no baud rate; allowed " + device::BaudRatesText(", ", " or "));
    context.baud = *rate;

    if (parser.isSet(kSlave)) {
        const auto slave = WholeNumber(parser.value(kSlave), 1, 255);
        if (!slave)
            return BadInput("--slave \"" + parser.value(kSlave).toStdString() + "\": allowed 1 to 255");
        context.slave = static_cast<uint8_t>(*slave);
    }
    if (parser.isSet(kTimeout)) {
        const auto ms = WholeNumber(parser.value(kTimeout), 1, 60000);
        if (!ms)
            return BadInput("--timeout \"" + parser.value(kTimeout).toStdString() + "\": allowed 1 to 60000 ms");
        context.timeout = std::chrono::milliseconds(*ms);
    }
    if (parser.isSet(kRetries)) {
        const auto retries = WholeNumber(parser.value(kRetries), 0, kMostRetries);
        if (!retries)
            return BadInput("--retries \"" + parser.value(kRetries).toStdString() + "\": allowed 0 to "
                            + std::to_string(kMostRetries));
        context.retries = *retries;
    }
    return kExitOk;
}

// True when every result reached stdout and every line reached the --log file; otherwise
// says which could not be written.
bool OutputWritten(const std::string &logPath)
{
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        Complain(std::string("cannot write the results to stdout") + (errno ? ": " + std::string(std::strerror(errno)) : ""));
        return false;
    }
    if (LogWriteFailed()) {
        Complain("--log \"" + logPath + "\": cannot write to it (a full disk?); the log is not complete");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef _WIN32
    // While it runs, the installer and the uninstaller see this name and ask to close it first.
    CreateMutexW(nullptr, FALSE, L"VelqorConfigRunning");
#else
    // a closed pipe is an output that cannot be written (exit 4), on every kind of line
    std::signal(SIGPIPE, SIG_IGN);
    // A closed stdout or stderr would be taken by the next file opened, the serial port
    // among them, and results would go down the line: /dev/null holds the place.
    bool stdoutClosed = false;
    for (const int descriptor : {STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(descriptor, F_GETFD) == -1 && errno == EBADF) {
            const int held = ::open("/dev/null", O_WRONLY);
            if (held >= 0 && held != descriptor) {
                ::dup2(held, descriptor);
                ::close(held);
            }
            stdoutClosed = stdoutClosed || descriptor == STDOUT_FILENO;
        }
    }
#endif
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velqorctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELQOR_VERSION));

    QCommandLineParser parser;
    parser.addOptions({kPort, kBaud, kSlave, kTimeout, kRetries, kLog, kHelp, kVersion});
    // commands may share an option (--json): it is added once
    QStringList added;
    for (const Command &command : Commands()) {
        for (const QCommandLineOption &option : command.options) {
            if (!added.contains(option.names().first()))
                parser.addOption(option);
            added << option.names().first();
        }
    }
    if (!parser.parse(QCoreApplication::arguments()))
        return BadInput(parser.errorText().toStdString() + " (see --help)");
    if (parser.isSet(kHelp)) {
        std::fputs(HelpText().c_str(), stdout);
        return OutputWritten({}) ? kExitOk : kExitOutputFailed;
    }
    if (parser.isSet(kVersion)) {
        std::printf("velqorctl %s\n", VELQOR_VERSION);
        return OutputWritten({}) ? kExitOk : kExitOutputFailed;
    }

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        std::string names;
        for (const Command &command : Commands())
            names += std::string(names.empty() ? "" : ", ") + command.name;
        return BadInput("no command given; the commands are " + names + " (see --help)");
    }
    const QString name = positional.takeFirst();
    const Command *chosen = nullptr;
    for (const Command &command : Commands()) {
        if (name == QLatin1String(command.name))
            chosen = &command;
    }
    if (!chosen)
        return BadInput("unknown command \"" + name.toStdString() + "\" (see --help)");
    // an option of another command is a mistake, not something to ignore (commands may
    // share an option's name)
    QStringList own;
    for (const QCommandLineOption &option : chosen->options)
        own << option.names();
    for (const Command &command : Commands()) {
        for (const QCommandLineOption &option : command.options) {
            if (!own.contains(option.names().first()) && parser.isSet(option))
                return BadInput("--" + option.names().first().toStdString() + " belongs to " + command.name
                                + ", not to " + chosen->name);
        }
    }

#ifndef _WIN32
    if (stdoutClosed) {
        Complain("stdout is closed: the results could not be written; nothing was sent");
        return kExitOutputFailed;
    }
#endif
    // the log among the results would spoil the JSON
    if (parser.isSet(kLog) && parser.value(kLog) == QLatin1String("-") && parser.isSet(QStringLiteral("json")))
        return BadInput("--log -: not with --json, the log would mix into the JSON on stdout; give --log a file");
    Context context{parser, positional, {}, kDefaultBaud, 1, kDefaultTimeout, {}, {}};
    if (const int status = LineOptions(parser, context))
        return status;
#ifndef _WIN32
    // a FIFO nobody reads would hold the program before anything happens
    if (parser.isSet(kLog)) {
        const std::string path = parser.value(kLog).toStdString();
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode)) {
            const int probe = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
            if (probe < 0)
                return BadInput("--log \"" + path + "\": a FIFO that nobody reads; start its reader first");
            ::close(probe);
        }
    }
#endif
    if (parser.isSet(kLog) && !LogTraffic(parser.value(kLog).toStdString(), context))
        return BadInput("--log \"" + parser.value(kLog).toStdString() + "\": cannot append to it");
    const StopSignals stop;
    const int status = chosen->run(context);
    if (!OutputWritten(parser.value(kLog).toStdString()))
        return kExitOutputFailed;
    // every command a signal stopped ends alike, after printing what it had
    return StopSignals::Stopped() ? StopSignals::ExitStatus() : status;
}
