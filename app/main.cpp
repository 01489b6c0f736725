#include "app/close_on_signal.h"
#include "app/display_check.h"
#include "app/main_window.h"
#include "serial/qt_serial_port.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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
        parser.parse(core.arguments());
        if (parser.isSet(QStringLiteral("help")))
            parser.showHelp(0);
        if (parser.isSet(QStringLiteral("version")))
            parser.showVersion();
    }
    // Without a display Qt aborts; one line says why instead.
    const auto missing = app::MissingDisplay({Platform(argc, argv), Environment("DISPLAY"), Environment("WAYLAND_DISPLAY")});
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

    serial::QtSerialPort port;
    MainWindow window(port);
    app::CloseOnSignals(&window);
    window.show();
    return application.exec();
}
