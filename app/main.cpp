#include "app/main_window.h"
#include "app/traffic_tap.h"
#include "modbus/traffic_log.h"
#include "serial/qt_serial_port.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption logOption(QStringLiteral("log"),
                                       QStringLiteral("Append every request and every reply or silence to FILE."),
                                       QStringLiteral("FILE"));
    parser.addOption(logOption);
    parser.process(application);

    modbus::TrafficLog log;
    if (parser.isSet(logOption) && !log.Open(parser.value(logOption).toStdString())) {
        std::fprintf(stderr, "velqor-config: cannot append to %s\n", qPrintable(parser.value(logOption)));
        return 2;
    }
    serial::QtSerialPort port;
    MainWindow window(port);
    if (log.IsOpen())
        TapTraffic(window, log);
    window.show();
    return application.exec();
}
