// bench-exchange: the read exchange of the tool's window against a module on COM1 of the
// working folder (bench/run puts velqor-sim behind a socat pty pair there).
//
//   bench-exchange [--runs N] [--paints]
//
// --paints also counts the paint events per read, by widget.
// Presses the port button, then the read button N times (after one warm-up read that is
// not counted). For each read it measures, on a steady clock, from the request being
// handed to the port to the status field being written by the reply check, and the
// process CPU time from the press to that moment. One line per read on stderr, then
// summary lines on stdout:
//
//   exchange_runs=20 good=20
//   exchange_ms median=260.4 min=260.1 max=261.0 p90=260.9
//   exchange_pause_ms median=0.1 ...     (request handed over .. read handler returned: the
//                                         pause runs on a timer and holds no thread)
//   exchange_cpu_ms_per_read=0.61 user=0.40 system=0.21

#include "app/main_window.h"
#include "support/window_parts.h"
#include "app/texts.h"
#include "bench/timed_port.h"
#include "serial/qt_serial_port.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <map>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include <sys/resource.h>

namespace {

double CpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// User and system CPU time of the process so far, in ms, and its page faults.
struct Usage {
    double userMs = 0;
    double systemMs = 0;
    long faults = 0;
};
Usage UsageNow()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval &t) { return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3; };
    return {ms(usage.ru_utime), ms(usage.ru_stime), usage.ru_minflt + usage.ru_majflt};
}

double Ms(TimedPort::Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void Wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Counts the paint events of every widget, by object name (or class name).
class PaintCounter : public QObject {
public:
    std::map<QString, int> counts;
    bool on = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (on && event->type() == QEvent::Paint) {
            const QString name = watched->objectName().isEmpty()
                                     ? QString::fromLatin1(watched->metaObject()->className())
                                           + (watched->parent() ? QLatin1Char('<') + watched->parent()->objectName() : QString())
                                     : watched->objectName();
            ++counts[name];
        }
        return false;
    }
};

double Quantile(std::vector<double> v, double q)
{
    std::sort(v.begin(), v.end());
    const double pos = q * static_cast<double>(v.size() - 1);
    const auto lo = static_cast<std::size_t>(pos);
    const std::size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (pos - static_cast<double>(lo));
}

void Summary(const char *name, const std::vector<double> &v)
{
    std::printf("%s median=%.2f min=%.2f max=%.2f p10=%.2f p90=%.2f\n", name, Quantile(v, 0.5),
                *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()), Quantile(v, 0.1),
                Quantile(v, 0.9));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    int runs = 20;
    bool countPaints = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--paints") == 0)
            countPaints = true;
    }
    PaintCounter paints;
    if (countPaints)
        application.installEventFilter(&paints);

    serial::QtSerialPort qtPort;
    TimedPort port(qtPort);
    MainWindow window(port);
    window.m_showMessage = [](const QString &text, const QString &) {
        std::fprintf(stderr, "bench-exchange: message: %s\n", qPrintable(text));
    };
    window.show();
    Wait(300);
    // The offscreen window is active and focuses its first list, whose caret would blink
    // through the measurement: the read's cost is measured without it.
    if (QWidget *focused = QApplication::focusWidget())
        focused->clearFocus();
    Click(window, "portButton");
    if (!window.PortIsOpen()) {
        std::fprintf(stderr, "bench-exchange: the port did not open\n");
        return 1;
    }
    Wait(300);

    // The reply check writes the status field; clearing it at the start of a read is no verdict.
    QEventLoop done;
    TimedPort::Clock::time_point verdictAt{};
    QObject::connect(Part<QPlainTextEdit>(window, "statusBox"), &QPlainTextEdit::textChanged, &done, [&] {
        if (!Part<QPlainTextEdit>(window, "statusBox")->toPlainText().isEmpty()) {
            verdictAt = TimedPort::Clock::now();
            done.quit();
        }
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &done, &QEventLoop::quit);

    const QString good = QString::fromUtf8(texts::kReplyGood);
    std::vector<double> total, pause, cpu;
    int goodCount = 0;
    double userMs = 0;
    double systemMs = 0;
    long faults = 0;
    for (int run = -1; run < runs; ++run) {
        const int writesBefore = port.writes;
        verdictAt = {};
        const double cpu0 = CpuMs();
        const Usage us0 = UsageNow();
        paints.on = run >= 0;
        Click(window, "readButton");
        const auto returned = TimedPort::Clock::now();
        guard.start(2000);
        done.exec();
        const double cpu1 = CpuMs();
        const Usage us1 = UsageNow();
        guard.stop();
        if (port.writes == writesBefore || verdictAt == TimedPort::Clock::time_point{}) {
            std::fprintf(stderr, "bench-exchange: read %d: no request or no verdict\n", run);
            return 1;
        }
        const bool ok = Part<QPlainTextEdit>(window, "statusBox")->toPlainText() == good;
        const double ms = Ms(verdictAt - port.lastWrite);
        std::fprintf(stderr, "read %2d: %s %.2f ms (pause %.2f ms) cpu %.3f ms\n", run, ok ? "good" : "BAD ", ms,
                     Ms(returned - port.lastWrite), cpu1 - cpu0);
        if (run >= 0) {  // the first read warms up and is not counted
            total.push_back(ms);
            pause.push_back(Ms(returned - port.lastWrite));
            cpu.push_back(cpu1 - cpu0);
            goodCount += ok ? 1 : 0;
            userMs += us1.userMs - us0.userMs;
            systemMs += us1.systemMs - us0.systemMs;
            faults += us1.faults - us0.faults;
        }
        // The module takes a frame that follows another within 100 ms for a stranger's.
        Wait(150);
    }
    double cpuSum = 0;
    for (double c : cpu)
        cpuSum += c;
    std::printf("exchange_runs=%d good=%d\n", runs, goodCount);
    Summary("exchange_ms", total);
    Summary("exchange_pause_ms", pause);
    Summary("exchange_cpu_ms", cpu);
    const double n = static_cast<double>(cpu.size());
    std::printf("exchange_cpu_ms_per_read=%.3f user=%.3f system=%.3f page_faults=%.1f\n", cpuSum / n, userMs / n,
                systemMs / n, static_cast<double>(faults) / n);
    for (const auto &[name, count] : paints.counts)
        std::printf("exchange_paints %s %.2f per read\n", qPrintable(name), count / static_cast<double>(runs));
    Click(window, "portButton");
    return goodCount == runs ? 0 : 1;
}
