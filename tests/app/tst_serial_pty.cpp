#include "app/main_window.h"
#include "support/window_parts.h"
#include "serial/qt_serial_port.h"
#include "support/pty_pair.h"

#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
QString U(const char *utf8)
{
    return QString::fromUtf8(utf8);
}
} // namespace

// The real port layer on a virtual serial line: COMn links in the working folder.
class TstSerialPty : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_previousDir;
    QStringList m_messages;
    QStringList m_errors;  // lines for stderr

    std::unique_ptr<MainWindow> Window(serial::Port &port, int portIndex)
    {
        auto window = std::make_unique<MainWindow>(port);
        window->m_showMessage = [this](const QString &text, const QString &) { m_messages << text; };
        window->m_printError = [this](const QString &line) { m_errors << line; };
        window->m_after = [](int, std::function<void()> then) { then(); };
        Choose(*window, "portList", portIndex);
        m_messages.clear();
        m_errors.clear();
        return window;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_previousDir = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        QFile settings("com.txt");
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("1\r\n9600\r\n");
    }
    void cleanupTestCase() { QDir::setCurrent(m_previousDir); }

    void openAndClose();
    void missingPorts();
    void portHeldElsewhere();
    void otherPortChosenWhileOpen();
    void settingsRefused();
    void deviceVanishes();
};

void TstSerialPty::openAndClose()
{
    PtyPair line(m_dir.filePath("COM1"), m_dir.filePath("far1"));
    QVERIFY(line.Start());
    // Bytes that wait on the line before the open are discarded by it.
    const int far = ::open(QFile::encodeName(m_dir.filePath("far1")).constData(), O_RDWR | O_NOCTTY);
    QVERIFY(far >= 0);
    termios raw{};
    ::tcgetattr(far, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(far, TCSANOW, &raw);
    serial::QtSerialPort port;
    auto window = Window(port, 0);
    QCOMPARE(::write(far, "\x55\x55", 2), 2);
    const int near = ::open(QFile::encodeName(m_dir.filePath("COM1")).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    QVERIFY(near >= 0);
    int waiting = 0;
    QTRY_VERIFY(::ioctl(near, FIONREAD, &waiting) == 0 && waiting == 2);  // socat has passed them on
    ::close(near);
    Button(*window, "portButton")->click();
    QCOMPARE(m_messages, QStringList());
    QCOMPARE(Button(*window, "portButton")->text(), U("关闭串口"));
    QCOMPARE(PortLamp(*window)->Color(), QColor(0, 255, 0));
    QVERIFY(port.IsOpen());
    QCOMPARE(::write(far, "\xAA", 1), 1);
    QTRY_COMPARE(QString::fromStdString(Exchange(*window)->ReceivedHex()), "AA ");
    ::close(far);
    Button(*window, "portButton")->click();
    QCOMPARE(Button(*window, "portButton")->text(), U("打开串口"));
    QCOMPARE(PortLamp(*window)->Color(), QColor(0, 0, 0));
    QVERIFY(!port.IsOpen());
}

void TstSerialPty::missingPorts()
{
    serial::QtSerialPort port;
    // No link and no such device; a link whose device is gone.
    QVERIFY(QFile::link(m_dir.filePath("no-such-device"), m_dir.filePath("COM8")));
    for (int index : {8, 7}) {
        auto window = Window(port, index);
        Button(*window, "portButton")->click();
        QCOMPARE(m_messages, QStringList{U("串口不存在！")});
        // stderr names the port, the device tried and the system's reason
        const QString device = index == 7 ? m_dir.filePath("COM8") : "/dev/ttyS8";
        QCOMPARE(m_errors.size(), 1);
        QVERIFY2(m_errors[0].startsWith(QString("COM%1 (%2): ").arg(index + 1).arg(device)), qPrintable(m_errors[0]));
        QCOMPARE(Button(*window, "portButton")->text(), U("打开串口"));
        QCOMPARE(PortLamp(*window)->Color(), QColor(0, 0, 0));
    }
    QFile::remove(m_dir.filePath("COM8"));
}

void TstSerialPty::portHeldElsewhere()
{
    PtyPair line(m_dir.filePath("COM2"), m_dir.filePath("far2"));
    QVERIFY(line.Start());
    QProcess holder;
    holder.start(QCoreApplication::applicationDirPath() + "/hold_port", {"2"});
    QVERIFY(holder.waitForReadyRead(10000));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));

    serial::QtSerialPort port;
    auto window = Window(port, 1);
    Button(*window, "portButton")->click();
    QCOMPARE(m_messages, QStringList{U("串口已打开！")});
    QCOMPARE(Button(*window, "portButton")->text(), U("打开串口"));

    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(10000));
    m_messages.clear();
    Button(*window, "portButton")->click();
    QCOMPARE(m_messages, QStringList());
    QCOMPARE(Button(*window, "portButton")->text(), U("关闭串口"));
}

void TstSerialPty::otherPortChosenWhileOpen()
{
    PtyPair first(m_dir.filePath("COM3"), m_dir.filePath("far3"));
    PtyPair second(m_dir.filePath("COM4"), m_dir.filePath("far4"));
    QVERIFY(first.Start() && second.Start());
    serial::QtSerialPort port;
    auto window = Window(port, 2);
    Button(*window, "portButton")->click();
    QVERIFY(port.IsOpen());
    List(*window, "portList")->setCurrentIndex(3);
    List(*window, "portList")->activated(3);
    QVERIFY(!port.IsOpen());
    QCOMPARE(Button(*window, "portButton")->text(), U("打开串口"));
    QCOMPARE(PortLamp(*window)->Color(), QColor(0, 0, 0));
    Button(*window, "portButton")->click();
    QVERIFY(port.IsOpen());
}

void TstSerialPty::settingsRefused()
{
    PtyPair line(m_dir.filePath("COM5"), m_dir.filePath("far5"));
    QVERIFY(line.Start());
    serial::QtSerialPort port;
    for (const char *baud : {"abc", "0", "99999999"}) {
        auto window = Window(port, 4);
        List(*window, "baudList")->setEditText(QString::fromLatin1(baud));
        Button(*window, "portButton")->click();
        QCOMPARE(m_messages, QStringList{U("其它错误")});
        QCOMPARE(Button(*window, "portButton")->text(), U("打开串口"));
        QCOMPARE(PortLamp(*window)->Color(), QColor(0, 0, 0));
        QVERIFY(!port.IsOpen());
    }
}

void TstSerialPty::deviceVanishes()
{
    auto line = std::make_unique<PtyPair>(m_dir.filePath("COM6"), m_dir.filePath("far6"));
    QVERIFY(line->Start());
    serial::QtSerialPort port;
    auto window = Window(port, 5);
    Button(*window, "portButton")->click();
    QVERIFY(port.IsOpen());

    line.reset();  // the adapter is pulled
    QTRY_COMPARE_WITH_TIMEOUT(Button(*window, "portButton")->text(), U("打开串口"), 10000);
    QCOMPARE(PortLamp(*window)->Color(), QColor(0, 0, 0));
    QVERIFY(!port.IsOpen());

    // The pull is reported; a request meets the closed state; plugging back in, the port
    // opens again.
    QCOMPARE(m_messages, QStringList{U("串口不存在！")});
    QCOMPARE(m_errors.size(), 1);
    QVERIFY2(m_errors[0].startsWith("COM6 (/dev/pts/"), qPrintable(m_errors[0]));
    Button(*window, "readButton")->click();
    QCOMPARE(m_messages, (QStringList{U("串口不存在！"), U("请先打开串口！")}));
    line = std::make_unique<PtyPair>(m_dir.filePath("COM6"), m_dir.filePath("far6"));
    QVERIFY(line->Start());
    Button(*window, "portButton")->click();
    QVERIFY(port.IsOpen());
}

QTEST_MAIN(TstSerialPty)
#include "tst_serial_pty.moc"
