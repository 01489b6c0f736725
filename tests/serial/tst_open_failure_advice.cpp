// The reason beneath a port's open failure, for each kind of failure and user; which errors
// of an open port mean the device went away.
#include "serial/open_failure_advice.h"
#include "serial/qt_serial_port.h"

#include <QtTest>

Q_DECLARE_METATYPE(serial::OpenFacts)

class TstOpenFailureAdvice : public QObject {
    Q_OBJECT
private slots:
    void advice_data();
    void advice();
    void deviceLost_data();
    void deviceLost();
};

void TstOpenFailureAdvice::advice_data()
{
    using R = serial::OpenResult;
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("result");
    QTest::addColumn<serial::OpenFacts>("facts");
    QTest::addColumn<QString>("advice");
    const std::string adapter = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0";
    const serial::OpenFacts dialout{"root", "dialout", {"me"}, {"me"}, "", {}, false, {}};
    serial::OpenFacts addedLater = dialout;
    addedLater.accountGroups.push_back("dialout");
    const serial::OpenFacts uucp{"root", "uucp", {"me", "dialout"}, {"me", "dialout"}, "", {}, false, {}};
    serial::OpenFacts withAdapter;
    withAdapter.adapters.push_back({"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A1", 0x0403, 0x6001, adapter});
    serial::OpenFacts dangling = withAdapter;
    dangling.portLink = adapter;

    QTest::newRow("not in dialout") << 1 << "/dev/ttyUSB0" << "" << int(R::NoPermission) << dialout
        << "permission denied on /dev/ttyUSB0 — add yourself to the dialout group and log in again\n"
           "sudo usermod -aG dialout $USER";
    QTest::newRow("in dialout since this login") << 1 << "/dev/ttyUSB0" << "" << int(R::NoPermission) << addedLater
        << "permission denied on /dev/ttyUSB0 — you were added to the dialout group after this login began: "
           "log in again";
    QTest::newRow("another group") << 1 << "/dev/ttyACM0" << "" << int(R::NoPermission) << uucp
        << "permission denied on /dev/ttyACM0 — it belongs to user root and group uucp, which may open it";
    QTest::newRow("owner unknown") << 1 << "/dev/ttyUSB0" << "" << int(R::NoPermission) << serial::OpenFacts{}
        << "permission denied on /dev/ttyUSB0";
    QTest::newRow("no COM2 link, no adapter") << 2 << "/dev/ttyS1" << "no such file or directory" << int(R::NotFound)
        << serial::OpenFacts{}
        << "no COM2 link in this folder, so COM2 is /dev/ttyS1: no such file or directory\n"
           "no USB serial adapter is plugged in";
    QTest::newRow("no COM1 link, an adapter") << 1 << "/dev/ttyS0" << "no serial port behind this device node"
        << int(R::NotFound) << withAdapter
        << QString::fromStdString("no COM1 link in this folder, so COM1 is /dev/ttyS0: no serial port behind this "
                                  "device node\nUSB serial adapters here: " + adapter + " (/dev/ttyUSB0)\n"
                                  "link one as COM1: velqorctl ports --link 1 " + adapter);
    QTest::newRow("link to an unplugged adapter") << 3 << "/work/run/COM3" << "no such file or directory"
        << int(R::NotFound) << dangling
        << QString::fromStdString("COM3 links to " + adapter + ", which is not there (no such file or directory)"
                                  "\nUSB serial adapters here: " + adapter + " (/dev/ttyUSB0)\n"
                                  "link one as COM3: velqorctl ports --link 3 " + adapter);
    serial::OpenFacts windows;
    windows.systemNamesPorts = true;
    windows.presentPorts = {3, 12};
    QTest::newRow("Windows: the ports present") << 5 << "" << "the system cannot find the file specified"
        << int(R::NotFound) << windows
        << "COM5 is not present; present: COM3, COM12\nthe system cannot find the file specified";
    windows.presentPorts.clear();
    QTest::newRow("Windows: no port present") << 5 << "" << "" << int(R::NotFound) << windows
        << "COM5 is not present; no COM port is present";
    QTest::newRow("held") << 1 << "/dev/ttyUSB0" << "held by another program (device busy)" << int(R::Busy)
        << serial::OpenFacts{} << "/dev/ttyUSB0 is held by another program (device busy)";
    QTest::newRow("not a serial port") << 1 << "/dev/null" << "inappropriate ioctl for device" << int(R::OtherError)
        << serial::OpenFacts{} << "/dev/null is not a serial port (inappropriate ioctl for device)";
    QTest::newRow("rate refused") << 1 << "/dev/ttyUSB0" << "the port refuses the settings \"7,N,8,1\""
        << int(R::BadSettings) << serial::OpenFacts{}
        << "the port refuses the settings \"7,N,8,1\" on /dev/ttyUSB0";
    QTest::newRow("no port chosen") << 0 << "" << "no port chosen in the list" << int(R::NotFound)
        << serial::OpenFacts{} << "no port chosen in the list";
}

void TstOpenFailureAdvice::advice()
{
    QFETCH(int, port);
    QFETCH(QString, device);
    QFETCH(QString, reason);
    QFETCH(int, result);
    QFETCH(serial::OpenFacts, facts);
    QFETCH(QString, advice);
    const serial::Port::Failure failure{device.toStdString(), reason.toStdString()};
    QCOMPARE(QString::fromStdString(
                 serial::OpenFailureAdvice(port, failure, static_cast<serial::OpenResult>(result), facts)),
             advice);
}

void TstOpenFailureAdvice::deviceLost_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("lost");
    QTest::newRow("timeout") << int(QSerialPort::TimeoutError) << false;
    QTest::newRow("read error (a pty's far end closed)") << int(QSerialPort::ReadError) << true;
    QTest::newRow("write error") << int(QSerialPort::WriteError) << true;
    QTest::newRow("resource error (node gone)") << int(QSerialPort::ResourceError) << true;
    QTest::newRow("unsupported setting") << int(QSerialPort::UnsupportedOperationError) << false;
    QTest::newRow("none") << int(QSerialPort::NoError) << false;
}

void TstOpenFailureAdvice::deviceLost()
{
    QFETCH(int, error);
    QFETCH(bool, lost);
    QCOMPARE(serial::DeviceWentAway(serial::FactOf(static_cast<QSerialPort::SerialPortError>(error))), lost);
}

QTEST_APPLESS_MAIN(TstOpenFailureAdvice)
#include "tst_open_failure_advice.moc"
