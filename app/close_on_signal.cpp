#include "app/close_on_signal.h"

#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace app {
namespace {

// A signal handler may only write to a descriptor; the window's thread reads the other
// end through a notifier and closes the window there. Neither end blocks: a full pipe
// already holds a close, and a read finds nothing when another notifier took the byte.
int g_signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const int savedErrno = errno;  // the interrupted code may be about to read it
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

void CloseOnSignals(QWidget *window)
{
    if (g_signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(g_signalPipe[1], &byte, 1);
        window->close();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    // the terminal that started the window closed
    ::sigaction(SIGHUP, &action, nullptr);
}

} // namespace app
