#pragma once
#include <csignal>

namespace cli {

// While it lives, Ctrl+C (SIGINT) and SIGTERM only set a flag that a long command checks
// between exchanges, so that it ends with the port closed and its results printed.
// The earlier handlers come back with its end.
class StopSignals {
public:
    StopSignals()
    {
        s_stop = 0;
        struct sigaction action {};
        action.sa_handler = [](int) { s_stop = 1; };
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_previousInt);
        sigaction(SIGTERM, &action, &m_previousTerm);
    }
    ~StopSignals()
    {
        sigaction(SIGINT, &m_previousInt, nullptr);
        sigaction(SIGTERM, &m_previousTerm, nullptr);
    }
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    static bool Stopped() { return s_stop != 0; }

private:
    static inline volatile std::sig_atomic_t s_stop = 0;
    struct sigaction m_previousInt {};
    struct sigaction m_previousTerm {};
};

} // namespace cli
