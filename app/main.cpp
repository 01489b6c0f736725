#include "app/main_window.h"
#include "serial/qt_serial_port.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    serial::QtSerialPort port;
    MainWindow window(port);
    window.show();
    return application.exec();
}
