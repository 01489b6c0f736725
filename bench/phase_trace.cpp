// bench-phase-trace: where a Qt program's start-up goes, without a line in the program.
// Preloaded (LD_PRELOAD), it writes one line per phase to stderr, in ms since the exec
// (BENCH_T0_NS: CLOCK_MONOTONIC just before execve, which bench/phases sets), and the
// CPU time by then:
//   main            the preloaded library's constructor: every library loaded and relocated
//   core_app        a QCoreApplication starts (a program may make one before its QApplication)
//   gui_app         the QApplication starts (before its platform connects)
//   font_list       fontconfig's font list, read when the first font is resolved (duration)
//   face            each font file FreeType opens (name)
//   language        a translator installed (QEvent::LanguageChange)
//   widgets         the first widget event (the window is being built)
//   show            the window's Show event (built; show() called)
//   expose          the first Expose of a top-level window (mapped by the X server)
//   paint           the first paint event begins / paint_done: the next event after it
// With BENCH_QUIT_MS the program quits that many ms after its first paint.
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <dlfcn.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace {

// Milliseconds on `clock` since the nanoseconds the launcher put into `originVariable`.
double MsSince(clockid_t clock, const char *originVariable)
{
    const char *text = std::getenv(originVariable);
    const long long origin = text ? std::atoll(text) : 0LL;
    timespec now{};
    clock_gettime(clock, &now);
    return (now.tv_sec * 1000000000LL + now.tv_nsec - origin) / 1e6;
}

double Ms() { return MsSince(CLOCK_MONOTONIC, "BENCH_T0_NS"); }
// the CPU clock runs on through execve: BENCH_CPU0_NS is what the launcher had used
double CpuMs() { return MsSince(CLOCK_PROCESS_CPUTIME_ID, "BENCH_CPU0_NS"); }

void Note(const char *phase, const char *detail = "")
{
    char line[512];
    const int n = std::snprintf(line, sizeof line, "phase %-10s %8.2f ms  cpu %7.2f ms  %s\n", phase, Ms(), CpuMs(), detail);
    if (n > 0)
        (void)!::write(2, line, static_cast<size_t>(n < int(sizeof line) ? n : int(sizeof line) - 1));
}

class Watcher : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (m_paintSeen && !m_paintDone) {
            m_paintDone = true;
            Note("paint_done");
        }
        switch (event->type()) {
        case QEvent::LanguageChange:
            Note("language");
            break;
        case QEvent::Show:
            if (watched->isWidgetType() && static_cast<QWidget *>(watched)->isWindow() && !m_shown) {
                m_shown = true;
                Note("show", qPrintable(watched->objectName()));
            }
            break;
        case QEvent::Expose:
            if (!m_exposed && watched->isWindowType()) {
                m_exposed = true;
                Note("expose");
            }
            break;
        case QEvent::Paint:
            if (!m_paintSeen) {
                m_paintSeen = true;
                Note("paint");
                if (const char *quit = std::getenv("BENCH_QUIT_MS"))
                    QTimer::singleShot(std::atoi(quit), qApp, &QCoreApplication::quit);
            }
            break;
        default:
            if (!m_widgets && watched->isWidgetType()) {
                m_widgets = true;
                Note("widgets");
            }
        }
        return false;
    }

private:
    bool m_widgets = false, m_shown = false, m_exposed = false, m_paintSeen = false, m_paintDone = false;
};

void ApplicationStarts()
{
    static int count = 0;
    const bool gui = QCoreApplication::instance()->inherits("QGuiApplication");
    Note(gui ? "gui_app" : "core_app");
    ++count;
    if (gui)
        QCoreApplication::instance()->installEventFilter(new Watcher);
}

__attribute__((constructor)) void Loaded()
{
    Note("main");
    qAddPreRoutine(ApplicationStarts);
}

} // namespace

extern "C" FcFontSet *FcFontList(FcConfig *config, FcPattern *pattern, FcObjectSet *objects)
{
    using Real = FcFontSet *(*)(FcConfig *, FcPattern *, FcObjectSet *);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "FcFontList"));
    const double start = Ms();
    FcFontSet *set = real(config, pattern, objects);
    char detail[64];
    std::snprintf(detail, sizeof detail, "%.2f ms, %d fonts", Ms() - start, set ? set->nfont : 0);
    Note("font_list", detail);
    return set;
}

extern "C" FT_Error FT_New_Face(FT_Library library, const char *path, FT_Long index, FT_Face *face)
{
    using Real = FT_Error (*)(FT_Library, const char *, FT_Long, FT_Face *);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "FT_New_Face"));
    const FT_Error error = real(library, path, index, face);
    Note("face", path);
    return error;
}

extern "C" FT_Error FT_Open_Face(FT_Library library, const FT_Open_Args *args, FT_Long index, FT_Face *face)
{
    using Real = FT_Error (*)(FT_Library, const FT_Open_Args *, FT_Long, FT_Face *);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "FT_Open_Face"));
    const FT_Error error = real(library, args, index, face);
    Note("face", args && args->pathname ? args->pathname : "(memory)");
    return error;
}
