// Holds port n of the working folder open, as another program would, until stdin closes.
#include "serial/qt_serial_port.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc != 2)
        return 2;
    serial::QtSerialPort port;
    if (port.Open(std::atoi(argv[1]), serial::Settings{"9600,N,8,1"}) != serial::OpenResult::Ok)
        return 1;
    std::puts("held");
    std::fflush(stdout);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &application, [] {
        char c;
        if (::read(STDIN_FILENO, &c, 1) <= 0)
            QCoreApplication::quit();
    });
    return application.exec();
}
