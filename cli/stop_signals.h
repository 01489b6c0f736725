#pragma once
#include <csignal>

#ifdef _WIN32
#include <windows.h>
#endif

namespace cli {

// While it lives, Ctrl+C (SIGINT) and SIGTERM only set a flag that a long command checks
// between exchanges, so that it ends with the port closed and its results printed. On
// Windows the console's Ctrl+C, Ctrl+Break and close events do the same (a close leaves the
// program two seconds before the system ends it). The earlier handlers come back with its end.
class StopSignals {
public:
    StopSignals()
    {
        s_stop = 0;
#ifdef _WIN32
        SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
        struct sigaction action {};
        action.sa_handler = [](int) { s_stop = 1; };
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_previousInt);
        sigaction(SIGTERM, &action, &m_previousTerm);
#endif
    }
    ~StopSignals()
    {
#ifdef _WIN32
        SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
#else
        sigaction(SIGINT, &m_previousInt, nullptr);
        sigaction(SIGTERM, &m_previousTerm, nullptr);
#endif
    }
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    static bool Stopped() { return s_stop != 0; }

private:
    static inline volatile std::sig_atomic_t s_stop = 0;
#ifdef _WIN32
    // Runs on a thread of its own that the system starts for the event.
    static BOOL WINAPI OnConsoleEvent(DWORD event)
    {
        if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
            return FALSE;
        s_stop = 1;
        if (event == CTRL_CLOSE_EVENT)
            Sleep(2000);  // the process ends when this returns: let the command finish
        return TRUE;
    }
#else
    struct sigaction m_previousInt {};
    struct sigaction m_previousTerm {};
#endif
};

} // namespace cli
