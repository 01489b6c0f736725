#include "cli/unconfirmed_write.h"

#ifndef _WIN32
#include <csignal>
#include <cstring>
#include <unistd.h>
#endif

namespace cli {

#ifndef _WIN32
namespace {

constexpr int kExitInterrupted = 130;  // 128 + SIGINT, as a shell reports Ctrl+C
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Made before the request leaves: the handler may only write what is ready.
char g_message[512];
volatile std::sig_atomic_t g_armed = 0;
bool g_installed = false;

void OnSignal(int signal)
{
    if (!g_armed) {
        // not in the middle of a write: end as the signal always does
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, g_message, std::strlen(g_message));
    ::_exit(kExitInterrupted);
}

} // namespace

void ArmUnconfirmedWrite(const std::string &what)
{
    const std::string message = "velqorctl: " + what
                                + ": stopped after the request was sent, before the module confirmed it; read the "
                                  "module (velqorctl read) to see what it holds\n";
    g_armed = 0;
    std::strncpy(g_message, message.c_str(), sizeof g_message - 1);
    g_message[sizeof g_message - 1] = '\0';
    if (!g_installed) {
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        for (const int signal : kSignals)
            sigaction(signal, &action, nullptr);
        g_installed = true;
    }
    g_armed = 1;
}

void DisarmUnconfirmedWrite()
{
    g_armed = 0;
}
#else
void ArmUnconfirmedWrite(const std::string &) {}
void DisarmUnconfirmedWrite() {}
#endif

} // namespace cli
