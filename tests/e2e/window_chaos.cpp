// The window's fault-injection run: the window on the real serial port (a socat pty pair)
// against velqor-sim --chaos, which spoils a few percent of its replies at random (late,
// withheld, truncated, bad CRC, stray bytes before or after, split, from another slave,
// exception) and stamps each request's number into the pulse counter. Reads, writes and
// output switches are clicked in turn, each as soon as the one before has its verdict. Every
// read the window shows as good must show the number of the very request that asked for it,
// and no operation over a reply spoilt on purpose may be shown as good.
// Prints the figures; exit status 1 when a check failed, 2 when the run could not be set up.
//
//   window_chaos --sim build/tools/velqor-sim                  1,000 exchanges, the real times
//   window_chaos --sim ... --pause 10 --reply-wait 50 --late 75   the same, the waits shortened (ctest)
#include "support/pty_pair.h"
#include "support/sim_process.h"
#include "support/window_parts.h"

#include "app/texts.h"
#include "serial/qt_serial_port.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTemporaryDir>

#include <cstdio>
#include <map>
#include <memory>

namespace {

struct Operation {
    QString kind;       // "read", "write" or "output"
    int first = 0;      // the module's numbers of the requests it sent
    int last = 0;
    bool good = false;  // the window showed the good status
    int shownCount = -1;  // a good read: the pulse counter shown
};

long ResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// A reply the module spoilt so that it answers nothing: it must never be shown as good.
bool Spoils(const QString &fault)
{
    for (const char *word : {"silent", "delay", "truncate", "bad-crc", "as-slave", "exception"})
        if (fault.startsWith(QLatin1String(word)))
            return true;
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption simOption("sim", "The simulator.", "path");
    const QCommandLineOption exchangesOption("exchanges", "About how many requests (default 1000).", "n", "1000");
    const QCommandLineOption seedOption("seed", "The simulator's seed (default 1).", "n", "1");
    const QCommandLineOption percentOption("percent", "Each fault's chance (default 2).", "n", "2");
    const QCommandLineOption pauseOption("pause", "The pause after a request, ms (default 100).", "ms", "100");
    const QCommandLineOption replyOption("reply-wait", "The reply timer, ms (default 160).", "ms", "160");
    const QCommandLineOption lateOption("late", "How late a late reply comes, ms (default 1.5 times the pause and the "
                                                "reply timer: past the window's time-out, within the quiet it keeps "
                                                "before the next request).", "ms");
    parser.addOptions({simOption, exchangesOption, seedOption, percentOption, pauseOption, replyOption, lateOption});
    parser.process(app);
    const int exchanges = parser.value(exchangesOption).toInt();
    const int pause = parser.value(pauseOption).toInt();
    const int replyWait = parser.value(replyOption).toInt();
    const int late = parser.isSet(lateOption) ? parser.value(lateOption).toInt() : (pause + replyWait) * 3 / 2;

    QTemporaryDir dir;
    PtyPair line(dir.filePath("COM1"), dir.filePath("module"));
    SimProcess sim(parser.value(simOption), dir.filePath("sim.log"));
    if (!dir.isValid() || !line.Start()
        || !sim.Start({"--device", dir.filePath("module"), "--chaos",
                       QStringLiteral("%1:%2:%3").arg(parser.value(seedOption), parser.value(percentOption)).arg(late)}))
        return 2;
    QDir::setCurrent(dir.path());

    serial::QtSerialPort port;
    MainWindow window(port);
    QStringList messages;
    window.m_showMessage = [&messages](const QString &text, const QString &) { messages << text; };
    Click(window, "portButton");
    if (!window.PortIsOpen()) {
        std::fprintf(stderr, "window_chaos: the window did not open COM1: %s\n", qPrintable(messages.join("; ")));
        return 2;
    }
    ExchangeController &exchange = window.Exchange();
    exchange.SetTimes(std::chrono::milliseconds(pause), std::chrono::milliseconds(replyWait));
    int sent = 0;
    exchange.onRequestSent = [&sent](const std::vector<uint8_t> &) { ++sent; };

    const QString good = texts::Tr(texts::kReplyGood);
    std::vector<Operation> operations;
    long rssEarly = 0;
    for (int n = 0; sent < exchanges; ++n) {
        static const char *const kinds[] = {"read", "read", "read", "write", "output"};
        Operation operation;
        operation.kind = QLatin1String(kinds[n % 5]);
        if (operation.kind == QLatin1String("write"))
            Box(window, "pwmDutyBox")->setText(QString::number(n % 1000 / 10.0, 'f', 1));
        operation.first = sent + 1;
        const int messagesBefore = static_cast<int>(messages.size());
        Click(window, operation.kind == QLatin1String("read")    ? "readButton"
                      : operation.kind == QLatin1String("write") ? "writeButton"
                                                                 : "outputButton");
        if (!QTest::qWaitFor([&] { return sent >= operation.first && !ReplyDue(window); }, 10000)
            || messages.size() > messagesBefore) {
            std::fprintf(stderr, "window_chaos: %s %d did not end with a verdict: %s\n", qPrintable(operation.kind), n,
                         qPrintable(messages.join("; ")));
            return 2;
        }
        operation.last = sent;
        operation.good = Shown(window, "statusBox") == good;
        if (operation.good && operation.kind == QLatin1String("read"))
            operation.shownCount = Box(window, "pulseCountBox")->text().toInt();
        operations.push_back(operation);
        if (sent >= exchanges / 10 && rssEarly == 0)
            rssEarly = ResidentKiB();
    }
    const long rssEnd = ResidentKiB();
    QTest::qWait(late + 100);  // a reply still withheld comes before the count is taken

    std::map<int, QString> fault;
    std::map<QString, int> kinds;
    int asked = 0;
    for (const QString &text : sim.Lines()) {
        if (text.startsWith(QLatin1String("count "))) {
            asked = text.mid(6).toInt();
            fault[asked] = QStringLiteral("none");
        } else if (text.startsWith(QLatin1String("fault ")) && asked > 0) {
            fault[asked] = text.mid(6);
            ++kinds[text.mid(6).section(' ', 0, 0)];
        }
    }
    int checked = 0, done = 0, failures = 0, wrong = 0, falseGood = 0, spoiled = 0;
    for (const Operation &operation : operations) {
        if (!operation.good) {
            ++failures;
            continue;
        }
        if (operation.kind == QLatin1String("read") && operation.shownCount != operation.first) {
            ++wrong;
            std::fprintf(stderr, "window_chaos: request %d shown good with the pulse counter of request %d\n",
                         operation.first, operation.shownCount);
            continue;
        }
        bool spoilt = false;
        for (int request = operation.first; request <= operation.last; ++request)
            if (Spoils(fault[request])) {
                spoilt = true;
                std::fprintf(stderr, "window_chaos: %s shown good over request %d (%s)\n", qPrintable(operation.kind),
                             request, qPrintable(fault[request]));
            }
        falseGood += spoilt;
        if (!spoilt)
            ++(operation.kind == QLatin1String("read") ? checked : done);
    }
    for (const auto &[request, text] : fault)
        spoiled += Spoils(text);
    std::printf("window: %d exchanges in %zu operations, %d values good and checked, %d writes and switches shown "
                "done, %d failures shown, %d replies spoilt on purpose; wrong values %d, spoilt replies shown good %d; "
                "RSS %ld KiB after a tenth, %ld KiB at the end\nwindow: faults:",
                sent, operations.size(), checked, done, failures, spoiled, wrong, falseGood, rssEarly, rssEnd);
    for (const auto &[kind, count] : kinds)
        std::printf(" %s x%d;", qPrintable(kind), count);
    std::printf("\n");
    if (asked != sent) {
        std::fprintf(stderr, "window_chaos: the window sent %d requests, the module counted %d\n", sent, asked);
        return 1;
    }
    return wrong + falseGood > 0 ? 1 : 0;
}
