// bench-search: the window's search for modules (the search window, one rate) against COM1
// of the working folder (bench/provision puts velqor-sim behind a socat pty pair there),
// timed from the start button to the search's end, on the real QtSerialPort.
//
//   bench-search [--runs N] [--baud B]
//
// One line per run on stderr, then on stdout:
//   search_ms median=... min=... max=... runs=N found=F

#include "app/module_search_window.h"
#include "serial/qt_serial_port.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    int runs = 3;
    QString baud = QStringLiteral("9600");
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--baud") == 0)
            baud = QString::fromLatin1(argv[i + 1]);
    }
    serial::QtSerialPort port;
    std::vector<double> times;
    int found = 0;
    for (int run = 0; run < runs; ++run) {
        ModuleSearchWindow window(port, {1, false, {}, baud}, [](app::FoundModule) {}, nullptr);
        window.show();
        auto *start = window.findChild<QPushButton *>(QStringLiteral("startSearchButton"));
        const auto begun = std::chrono::steady_clock::now();
        start->click();
        while (!start->isEnabled())
            application.processEvents(QEventLoop::WaitForMoreEvents);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begun).count();
        found = window.findChild<QListWidget *>(QStringLiteral("foundList"))->count();
        std::fprintf(stderr, "search %d: %.1f ms, %d found\n", run + 1, ms, found);
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    const double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    std::printf("search_ms median=%.1f min=%.1f max=%.1f runs=%zu found=%d\n", median, times.front(), times.back(), n,
                found);
    return 0;
}
