#pragma once
#include "cli/exchange.h"
#include "cli/help_facts.h"
#include "device/parameter_table.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

// What every command of velqorctl gets, and how it tells the outcome.
namespace cli {

// The same status always means the same thing.
enum ExitStatus {
    kExitOk = 0,
    kExitExchangeFailed = 1,  // no reply, bad reply, exception, read-back differs
    kExitBadInput = 2,        // nothing was sent
    kExitPortUnavailable = 3,  // cannot be opened, or lost during the command
    kExitOutputFailed = 4,     // stdout or the --log file could not be written
    // 128 + n: stopped by signal n (130 SIGINT, 143 SIGTERM, 129 SIGHUP)
};

struct Context {
    const QCommandLineParser &parser;
    QStringList arguments;  // the positional arguments after the command's name
    std::string portText;   // --port, or com.txt's
    int baud = kDefaultBaud;  // --baud, or com.txt's
    uint8_t slave = 1;
    std::chrono::milliseconds timeout = kDefaultTimeout;
    // Handed to every Exchanger the commands make.
    std::function<void(const ExchangeRecord &)> observer;
    std::function<void(const ExchangeRecord &)> sentObserver;
    // --retries: how often an exchange that is safe to repeat is asked again (0..10)
    int retries = 0;
};

struct Command {
    const char *name;
    const char *synopsis;  // "read [--json]"
    std::string help;      // what it does, its arguments, units and ranges; lines end in '\n'
    std::vector<QCommandLineOption> options;
    int (*run)(Context &context);
};

// Every command, in the order --help lists them. A new command is a new file with its
// Command and one row here.
const std::vector<Command> &Commands();

// `text` with its control characters, and bytes that are no UTF-8, written as \n, \r, \t
// or \xNN.
std::string OneLine(const std::string &text);
// One line on stderr: "velqorctl: <message>", control characters escaped.
void Complain(const std::string &message);
// Complains and gives kExitBadInput.
int BadInput(const std::string &message);
// An option's value as a whole number from `low` to `high`, nothing else (no blanks, no sign).
std::optional<int> WholeNumber(const QString &text, int low, int high);

// The open line and the exchanges on it, for one command.
class Session {
public:
    explicit Session(const Context &context);
    // kExitOk, or kExitPortUnavailable after saying why.
    int Open();
    // Opens the line at `baud` instead of the context's rate, closing it first when open.
    int Open(int baud);
    // One exchange. A bad one is reported ("read: no reply") and gives nullopt.
    std::optional<std::vector<uint8_t>> Exchange(const std::vector<uint8_t> &request, const std::string &what);
    // Reads the read block; nullopt after a report.
    std::optional<device::Registers> ReadBlock(const std::string &what);
    std::optional<device::Registers> ReadBlock(uint8_t slave, const std::string &what);
    // The report of the last failed exchange or open, as said (or kept when reportFailures is off).
    const std::string &LastFailure() const { return m_lastFailure; }
    // The open line and its exchanger, for a command that asks addresses itself.
    Line &OpenLine() { return *m_line; }
    Exchanger &LineExchanger() { return *m_exchanger; }
    int Baud() const { return m_baud; }

    // Off: failures are kept for LastFailure() instead of said on stderr.
    bool reportFailures = true;
    // Off: a stop signal leaves each exchange to its time-out, for a command that checks
    // StopSignals between exchanges and finishes the module it began.
    bool stopEndsWaits = true;
    // Lets every written byte leave and closes the line.
    void Close();
    // The exit status of a failed exchange: 128 + the signal's number when a stop signal
    // ended it, kExitPortUnavailable when the line went away (said already), else
    // kExitExchangeFailed.
    int FailureStatus() const;
    bool Lost() const { return m_lost; }
    // After exchanges made past Exchange() (a probe's own Exchanger): notes, as Exchange
    // does, a line that went away under them, reported as `what`. True when lost.
    bool CheckLost(const std::string &what);
    // How often a request was asked again so far ("retries" of the --json results).
    int Retries() const { return m_retries; }

    const Context &context;

private:
    std::unique_ptr<Line> m_line;
    std::optional<Exchanger> m_exchanger;
    bool m_lost = false;
    bool m_stopped = false;
    int m_baud = 0;
    std::string m_lastFailure;
    int m_retries = 0;
    void Fail(const std::string &message);
};

// What a write whose confirmation did not come says after its reason.
inline constexpr const char *kUnconfirmedWrite =
    "the write may have been carried out: read the module (velqorctl read) to see what it holds";

// True for a request that writes registers (function 6 or 16).
bool IsWrite(const std::vector<uint8_t> &request);
// True for a write that went out and whose confirmation did not come (no reply, cut off by
// a lost line, a flood or a stop signal): it may have been carried out.
bool WriteUnconfirmed(const ExchangeRecord &record);

} // namespace cli
