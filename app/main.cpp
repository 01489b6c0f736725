#include "app/close_on_signal.h"
#include "app/display_check.h"
#include "app/fitted_window.h"
#include "app/language.h"
#include "app/main_window.h"
#include "app/traffic_tap.h"
#include "modbus/traffic_log.h"
#include "serial/qt_serial_port.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QTranslator>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Every option of the program; the parser reads them twice, once before the window exists.
void AddOptions(QCommandLineParser &parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Configures and controls the signal-generator module over a serial port (Modbus RTU).\n"
        "Keeps the last COM port and baud rate in com.txt in the current folder."));
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

std::string Environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

// The platform Qt is told to use: "-platform NAME" wins over QT_QPA_PLATFORM, as in Qt.
std::string Platform(int argc, char *argv[])
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return argv[i + 1];
    }
    return Environment("QT_QPA_PLATFORM");
}

// A local X display is reachable when its server takes a connection on its socket (the
// abstract one or the file in /tmp/.X11-unix). Other forms are left to Qt.
bool X11Reachable(const std::string &display)
{
    const int number = app::LocalX11DisplayNumber(display);
    if (number < 0)
        return true;
    const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
    for (const bool abstract : {true, false}) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return true;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + (abstract ? 1 : 0), path.data(), path.size());
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + (abstract ? 1 : 0));
        const bool connected = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0;
        ::close(fd);
        if (connected)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
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
            std::fprintf(stderr, "velqor-config: %s\n", qPrintable(problem));
            return 2;
        }
        if (parser.isSet(QStringLiteral("help")))
            parser.showHelp(0);
        if (parser.isSet(QStringLiteral("version")))
            parser.showVersion();
    }
    // Without a display Qt aborts; one line says why instead.
    const std::string x11Display = Environment("DISPLAY");
    const auto missing = app::MissingDisplay(
        {Platform(argc, argv), x11Display, Environment("WAYLAND_DISPLAY"), X11Reachable(x11Display)});
    if (missing) {
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

    serial::QtSerialPort port;
    MainWindow window(port);
    if (log.IsOpen())
        TapTraffic(window, log);
    app::CloseOnSignals(&window);
    const std::unique_ptr<FittingFrame> frame = ShowFitted(window, window.screen()->availableGeometry());
    return application.exec();
}
