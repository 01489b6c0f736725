#include "app/close_on_signal.h"
#include "app/display_probe.h"
#include "app/fitted_window.h"
#include "app/language.h"
#include "app/main_window.h"
#include "app/settings_folder.h"
#include "app/traffic_tap.h"
#include "modbus/traffic_log.h"
#include "serial/system_port.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QTranslator>

#include <cstdio>
#include <string>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX  // std::min and std::max, not the macros
#endif
#include <windows.h>
#endif

namespace {

// Every option of the program; the parser reads them twice, once before the window exists.
void AddOptions(QCommandLineParser &parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Configures and controls the signal-generator module over a serial port (Modbus RTU).\n"
        "Keeps the last COM port and baud rate in com.txt in the current folder (on Windows, when\n"
        "started in its own folder as the Start menu does, in %APPDATA%\\velqor-config)."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("lang"), QStringLiteral("The window's language: zh (Chinese, the default) or en (English)."),
                      QStringLiteral("language"), QLatin1String(app::kDefaultLanguage)});
    // Qt's own window options, so that they are no unknown option before the window
    // application takes them.
    for (const char *name : {"platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
                             "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "display", "geometry",
                             "style", "stylesheet"}) {
        QCommandLineOption option{QString::fromLatin1(name), QString(), QStringLiteral("value")};
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *name : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
        QCommandLineOption option{QString::fromLatin1(name)};
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    parser.addOption({QStringLiteral("log"), QStringLiteral("Append every request and every reply or silence to FILE (- for standard output)."),
                      QStringLiteral("FILE")});
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef _WIN32
    // While it runs, the installer and the uninstaller see this name and ask to close it first.
    CreateMutexW(nullptr, FALSE, L"VelqorConfigRunning");
#endif
    QCoreApplication::setApplicationName(QStringLiteral("velqor-config"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELQOR_VERSION));
    {
        // --help and --version need no display: answered on a core application. Qt's own
        // window options (-platform, -style) are judged once the window application exists.
        QCoreApplication core(argc, argv);
        QCommandLineParser parser;
        AddOptions(parser);
        if (!parser.parse(core.arguments())) {
            const QStringList unknown = parser.unknownOptionNames();
            const QString problem = unknown.isEmpty()
                                        ? parser.errorText()
                                        : QStringLiteral("unknown option %1%2; see velqor-config --help")
                                              .arg(unknown.first().size() == 1 ? "-" : "--", unknown.first());
            app::UseStartingConsole();
            std::fprintf(stderr, "velqor-config: %s\n", qPrintable(problem));
            return 2;
        }
        // Printed, not shown as Qt shows them to a Windows program without a console (a box).
        const bool help = parser.isSet(QStringLiteral("help"));
        if (help || parser.isSet(QStringLiteral("version"))) {
            app::UseStartingConsole();
            std::fputs(qPrintable(help ? parser.helpText()
                                       : QStringLiteral("velqor-config " VELQOR_VERSION "\n")), stdout);
            return 0;
        }
    }
    // Without a display Qt aborts; one line says why instead.
    if (const auto missing = app::WhyNoWindow(argc, argv)) {
        std::fprintf(stderr, "velqor-config: %s\n", missing->c_str());
        return 1;
    }

    QApplication application(argc, argv);
    // The desktop entry's name: Wayland compositors take the window's icon from it.
    QGuiApplication::setDesktopFileName(QStringLiteral("velqor-config"));
    QCommandLineParser parser;
    AddOptions(parser);
    parser.process(application);

    // The default stays Chinese whatever the system's locale says.
    QTranslator translator;
    const QString language = parser.value(QStringLiteral("lang"));
    if (!app::LoadLanguage(translator, language)) {
        std::fprintf(stderr, "velqor-config: no window language \"%s\"; use --lang zh or --lang en\n",
                     qPrintable(language));
        return 2;
    }
    application.installTranslator(&translator);
    modbus::TrafficLog log;
    const QString logPath = parser.value(QStringLiteral("log"));
    if (parser.isSet(QStringLiteral("log")) && !log.Open(logPath.toStdString())) {
        std::fprintf(stderr, "velqor-config: cannot append to %s\n", qPrintable(logPath));
        return 2;
    }

    app::EnterSettingsFolder();
    const std::unique_ptr<serial::Port> port = serial::MakeSystemPort();
    MainWindow window(*port);
    if (log.IsOpen())
        TapTraffic(window, log);
    app::CloseOnSignals(&window);
    const std::unique_ptr<FittingFrame> frame = ShowFitted(window, window.screen()->availableGeometry());
    return application.exec();
}
