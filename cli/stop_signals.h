#pragma once
#include <csignal>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace cli {

// While it lives (main holds one for the whole command), SIGINT (Ctrl+C), SIGTERM and SIGHUP
// only note the signal; every wait of an exchange looks at the note at least every 50 ms,
// so that a command ends soon with the port closed, its results printed and the exit status
// 128 + the signal's number. On Windows the console's Ctrl+C and Ctrl+Break count as
// SIGINT and its close event as SIGTERM (a close leaves the program two seconds before the
// system ends it). The earlier handlers come back with its end.
class StopSignals {
public:
    StopSignals()
    {
        s_signal = 0;
#ifdef _WIN32
        SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
        struct sigaction action {};
        action.sa_handler = [](int signal) { s_signal = signal; };
        sigemptyset(&action.sa_mask);
        for (int i = 0; i < kCount; ++i)
            sigaction(kSignals[i], &action, &m_previous[i]);
#endif
    }
    ~StopSignals()
    {
#ifdef _WIN32
        SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
#else
        for (int i = 0; i < kCount; ++i)
            sigaction(kSignals[i], &m_previous[i], nullptr);
#endif
    }
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    static bool Stopped() { return s_signal != 0; }
    // The signal that stopped the command, 0 while none came.
    static int Signal() { return s_signal; }
    // The exit status of a command a signal stopped: 128 + its number, as a shell reports it.
    static int ExitStatus() { return 128 + s_signal; }
    // "SIGINT", "SIGTERM", "SIGHUP"
    static std::string Name()
    {
        switch (s_signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
#ifndef _WIN32
        case SIGHUP:
            return "SIGHUP";
#endif
        default:
            return "signal " + std::to_string(s_signal);
        }
    }

private:
    static inline volatile std::sig_atomic_t s_signal = 0;
#ifdef _WIN32
    // Runs on a thread of its own that the system starts for the event.
    static BOOL WINAPI OnConsoleEvent(DWORD event)
    {
        if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
            return FALSE;
        s_signal = event == CTRL_CLOSE_EVENT ? SIGTERM : SIGINT;
        if (event == CTRL_CLOSE_EVENT)
            Sleep(2000);  // the process ends when this returns: let the command finish
        return TRUE;
    }
#else
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    static constexpr int kCount = 3;
    struct sigaction m_previous[kCount] {};
#endif
};

} // namespace cli
