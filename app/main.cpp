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

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);

    QCommandLineParser parser;
    const QCommandLineOption languageOption(
        QStringLiteral("lang"), QStringLiteral("The window's language: zh (Chinese, the default) or en (English)."),
        QStringLiteral("language"), QLatin1String(app::kDefaultLanguage));
    const QCommandLineOption logOption(QStringLiteral("log"),
                                       QStringLiteral("Append every request and every reply or silence to FILE."),
                                       QStringLiteral("FILE"));
    parser.addOptions({languageOption, logOption});
    parser.process(application);

    // The default stays Chinese whatever the system's locale says.
    QTranslator translator;
    const QString language = parser.value(languageOption);
    if (!app::LoadLanguage(translator, language)) {
        std::fprintf(stderr, "velqor-config: no window language \"%s\"; use --lang zh or --lang en\n",
                     qPrintable(language));
        return 2;
    }
    application.installTranslator(&translator);
    modbus::TrafficLog log;
    if (parser.isSet(logOption) && !log.Open(parser.value(logOption).toStdString())) {
        std::fprintf(stderr, "velqor-config: cannot append to %s\n", qPrintable(parser.value(logOption)));
        return 2;
    }

    serial::QtSerialPort port;
    MainWindow window(port);
    if (log.IsOpen())
        TapTraffic(window, log);
    const std::unique_ptr<FittingFrame> frame = ShowFitted(window, window.screen()->availableGeometry());
    return application.exec();
}
