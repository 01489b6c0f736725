// bench-idle: the tool's window as the user leaves it, for the idle measurements.
//
//   bench-idle [--open] [--focus]
//     --open   press the port button once the window is shown (COM1 of the working
//              folder, with its com.txt, as the tool itself would)
//     --focus  put the keyboard focus into the first value box (blinking caret)
//
// Messages the window would show in a box go to stderr instead.

#include "app/main_window.h"
#include "support/window_parts.h"
#include "serial/qt_serial_port.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    bool open = false;
    bool focus = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--open") == 0)
            open = true;
        else if (std::strcmp(argv[i], "--focus") == 0)
            focus = true;
    }
    serial::QtSerialPort port;
    MainWindow window(port);
    window.m_showMessage = [](const QString &text, const QString &) {
        std::fprintf(stderr, "bench-idle: message: %s\n", qPrintable(text));
    };
    window.show();
    if (open) {
        Click(window, "portButton");
        if (!window.PortIsOpen())
            std::fprintf(stderr, "bench-idle: the port did not open\n");
    }
    if (focus) {
        window.activateWindow();
        Box(window, "pwmVoltageBox")->setFocus();
    }
    return application.exec();
}
