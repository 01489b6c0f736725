// bench-mapwait: starts a program on the X display and measures it.
//
//   bench-mapwait [--title PREFIX] [--cwd DIR] [--settle S] [--idle S] [--timeout S] -- PROGRAM ARGS...
//
// Selects SubstructureNotify on the root window before the fork, so no map can be missed,
// then reports the time from the fork to the MapNotify of the first top-level window whose
// WM_NAME starts with PREFIX, and the CPU time the program had used by then (all threads,
// from /proc/PID/task/*/schedstat; less sensitive to a busy machine than the wall clock). After the window is mapped it waits --settle seconds, reads
// the process's peak RSS (VmHWM), and with --idle S also the CPU time and context switches
// of S seconds of idling. The program is then killed. One line on stdout:
//
//   map_ms=123.4 map_cpu_ms=98.7 hwm_kb=45678 idle_s=10 idle_ticks=0 idle_cpu_ms=0.0 idle_vcsw=2 idle_ivcsw=0
//
// Exit status 0 when the window was seen, 1 otherwise.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <dirent.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double Now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void SleepSeconds(double s)
{
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(s);
    ts.tv_nsec = static_cast<long>((s - static_cast<double>(ts.tv_sec)) * 1e9);
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

// A value from /proc/PID/status ("VmHWM:   45678 kB" gives 45678); -1 when missing.
long StatusField(pid_t pid, const char *name)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    const std::string key = std::string(name) + ":";
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) == 0)
            return std::strtol(line.c_str() + key.size(), nullptr, 10);
    }
    return -1;
}

// utime + stime of /proc/PID/stat, in clock ticks; -1 when unreadable.
long CpuTicks(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name may hold blanks and parentheses: the fields start after the last ')'.
    const auto close = all.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(all.substr(close + 2));
    std::vector<std::string> f;
    std::string word;
    while (fields >> word)
        f.push_back(word);
    // fields after the name: state(3) ... utime(14) stime(15), counted from 1 with pid.
    if (f.size() < 13)
        return -1;
    return std::stol(f[11]) + std::stol(f[12]);
}

// The ids of the process's threads (Qt runs the X event reader in a thread of its own).
std::vector<std::string> Threads(pid_t pid)
{
    std::vector<std::string> ids;
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d)) {
            if (e->d_name[0] != '.')
                ids.push_back(dir + "/" + e->d_name);
        }
        closedir(d);
    }
    return ids;
}

// Nanoseconds on a CPU, summed over the threads (schedstat), finer than clock ticks.
long long SchedNs(pid_t pid)
{
    long long total = 0;
    for (const std::string &task : Threads(pid)) {
        std::ifstream in(task + "/schedstat");
        long long ns = 0;
        if (in >> ns)
            total += ns;
    }
    return total;
}

// A context-switch counter of /proc/PID/task/*/status summed over the threads: every
// voluntary switch is a wake-up after the thread went to sleep.
long Switches(pid_t pid, const char *name)
{
    long total = 0;
    const std::string key = std::string(name) + ":";
    for (const std::string &task : Threads(pid)) {
        std::ifstream in(task + "/status");
        std::string line;
        while (std::getline(in, line)) {
            if (line.compare(0, key.size(), key) == 0)
                total += std::strtol(line.c_str() + key.size(), nullptr, 10);
        }
    }
    return total;
}

bool TitleStartsWith(Display *display, Window window, const std::string &prefix)
{
    char *name = nullptr;
    bool match = false;
    if (XFetchName(display, window, &name) && name) {
        match = std::strncmp(name, prefix.c_str(), prefix.size()) == 0;
        XFree(name);
    }
    return match;
}

int IgnoreXErrors(Display *, XErrorEvent *)
{
    return 0;  // a window may be gone before its name is read
}

void Usage()
{
    std::fprintf(stderr, "usage: bench-mapwait [--title PREFIX] [--cwd DIR] [--settle S] [--idle S] "
                         "[--timeout S] -- PROGRAM ARGS...\n");
}

} // namespace

int main(int argc, char *argv[])
{
    std::string title = "Velqor";
    std::string cwd;
    double settle = 0.5;
    double idle = 0;
    double timeout = 30;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (i + 1 >= argc) {
            Usage();
            return 2;
        }
        if (arg == "--title")
            title = argv[++i];
        else if (arg == "--cwd")
            cwd = argv[++i];
        else if (arg == "--settle")
            settle = std::atof(argv[++i]);
        else if (arg == "--idle")
            idle = std::atof(argv[++i]);
        else if (arg == "--timeout")
            timeout = std::atof(argv[++i]);
        else {
            Usage();
            return 2;
        }
    }
    if (i >= argc) {
        Usage();
        return 2;
    }

    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "bench-mapwait: cannot open the display\n");
        return 2;
    }
    XSetErrorHandler(IgnoreXErrors);
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const double start = Now();
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        return 2;
    }
    if (pid == 0) {
        close(ConnectionNumber(display));
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) {
            std::perror("chdir");
            _exit(127);
        }
        execvp(argv[i], argv + i);
        std::perror("execvp");
        _exit(127);
    }

    double mapped = -1;
    long long mappedCpuNs = 0;  // CPU time the program had used when its window was mapped
    const int fd = ConnectionNumber(display);
    while (mapped < 0 && Now() - start < timeout) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && TitleStartsWith(display, event.xmap.window, title)) {
                mapped = Now();
                mappedCpuNs = SchedNs(pid);
                break;
            }
        }
        if (mapped >= 0)
            break;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            std::fprintf(stderr, "bench-mapwait: the program ended before its window was mapped\n");
            return 1;
        }
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, 100);
    }

    int rc = 0;
    if (mapped < 0) {
        std::fprintf(stderr, "bench-mapwait: no window titled \"%s...\" within %.0f s\n", title.c_str(), timeout);
        rc = 1;
    } else {
        SleepSeconds(settle);
        const long hwm = StatusField(pid, "VmHWM");
        std::printf("map_ms=%.1f map_cpu_ms=%.1f hwm_kb=%ld", (mapped - start) * 1000.0,
                    static_cast<double>(mappedCpuNs) / 1e6, hwm);
        if (idle > 0) {
            const long ticks0 = CpuTicks(pid);
            const long long ns0 = SchedNs(pid);
            const long vcsw0 = Switches(pid, "voluntary_ctxt_switches");
            const long ivcsw0 = Switches(pid, "nonvoluntary_ctxt_switches");
            SleepSeconds(idle);
            const long ticks1 = CpuTicks(pid);
            const long long ns1 = SchedNs(pid);
            const long vcsw1 = Switches(pid, "voluntary_ctxt_switches");
            const long ivcsw1 = Switches(pid, "nonvoluntary_ctxt_switches");
            std::printf(" idle_s=%g idle_ticks=%ld idle_cpu_ms=%.2f idle_vcsw=%ld idle_ivcsw=%ld", idle,
                        ticks1 - ticks0, static_cast<double>(ns1 - ns0) / 1e6, vcsw1 - vcsw0, ivcsw1 - ivcsw0);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    XCloseDisplay(display);
    return rc;
}
