// What COMn opens in a folder, the COMn links that `ports --link` makes, the text that
// describes a port, and the port list's tooltips in the window.
#include "app/main_window.h"
#include "support/window_parts.h"
#include "serial/port_names.h"
#include "support/fake_port.h"

#include <QtTest>

class TstPortNames : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { QDir::setCurrent(m_previous); }
    void resolve_data();
    void resolve();
    void link_data();
    void link();
    void names_data();
    void names();
    void describe();
    void windowTooltips();

private:
    QTemporaryDir m_dir;
    QString m_previous = QDir::currentPath();
    QString Here(const QString &name) const { return QDir(m_dir.path()).canonicalPath() + "/" + name; }
};

void TstPortNames::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QDir::setCurrent(m_dir.path());
    QFile("adapter").open(QIODevice::WriteOnly);
    QFile::link("adapter", "COM2");
    QFile::link("unplugged", "COM3");
    QFile::link("COM2", "COM4");  // a link to a link
    QFile("COM5").open(QIODevice::WriteOnly);
    QFile::link("adapter", "COM12");  // a port above the list's nine
    QDir().mkdir("by-id");
    QFile::link("../adapter", "by-id/usb-Maker_Adapter_A1-if00-port0");
}

void TstPortNames::resolve_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("link");    // "" for none
    QTest::addColumn<QString>("device");  // "@name": that file in the folder
    QTest::addColumn<bool>("exists");
    QTest::newRow("link to a device") << 2 << "adapter" << "@adapter" << true;
    QTest::newRow("dangling link") << 3 << "unplugged" << "unplugged" << false;
    QTest::newRow("link to a link") << 4 << "COM2" << "@adapter" << true;
    QTest::newRow("plain file") << 5 << "" << "@COM5" << true;
    QTest::newRow("no COMn: the UART") << 9 << "" << "/dev/ttyS8" << serial::ResolvePortName(9).exists;
}

void TstPortNames::resolve()
{
    QFETCH(int, number);
    QFETCH(QString, link);
    QFETCH(QString, device);
    QFETCH(bool, exists);
    const serial::PortName port = serial::ResolvePortName(number);
    QCOMPARE(QString::fromStdString(port.name), QString("COM%1").arg(number));
    QCOMPARE(QString::fromStdString(port.link), link);
    QCOMPARE(QString::fromStdString(port.device), device.startsWith('@') ? Here(device.mid(1)) : device);
    QCOMPARE(port.exists, exists);
    QCOMPARE(QString::fromStdString(serial::StableNameFor(port.device, "by-id")),
             number == 2 || number == 4 ? QString("by-id/usb-Maker_Adapter_A1-if00-port0") : QString());
}

void TstPortNames::link_data()
{
    QTest::addColumn<QString>("before");  // what COM6 is: none, link, file, folder
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("target");  // COM6's target afterwards, "" when no link
    QTest::newRow("absent") << "none" << 6 << int(serial::LinkResult::Made) << "/dev/ttyUSB1";
    QTest::newRow("earlier link") << "link" << 6 << int(serial::LinkResult::Replaced) << "/dev/ttyUSB1";
    QTest::newRow("a file stays") << "file" << 6 << int(serial::LinkResult::NotALink) << "";
    QTest::newRow("a folder stays") << "folder" << 6 << int(serial::LinkResult::NotALink) << "";
    QTest::newRow("COM0") << "none" << 0 << int(serial::LinkResult::BadNumber) << "";
    QTest::newRow("COM257") << "none" << 257 << int(serial::LinkResult::BadNumber) << "";
}

void TstPortNames::link()
{
    QFETCH(QString, before);
    QFETCH(int, number);
    QFETCH(int, result);
    QFETCH(QString, target);
    QFile::remove("COM6");
    QDir("COM6").removeRecursively();
    if (before == "link")
        QFile::link("/dev/ttyUSB0", "COM6");
    else if (before == "file")
        QVERIFY(QFile("COM6").open(QIODevice::WriteOnly));
    else if (before == "folder")
        QVERIFY(QDir().mkdir("COM6"));
    std::string error;
    QCOMPARE(int(serial::LinkPort(number, "/dev/ttyUSB1", error)), result);
    QCOMPARE(QFileInfo("COM6").symLinkTarget(), target);
    QCOMPARE(QFileInfo("COM6").isDir(), before == "folder");
    QCOMPARE(QDir().entryList(QDir::Hidden | QDir::System | QDir::Files).filter(".COM").size(), 0);
}

// A port's name in any letter case, COM1 to COM256, as both programs read it.
void TstPortNames::names_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");  // 0: no port
    QTest::newRow("COM1") << "COM1" << 1;
    QTest::newRow("com12") << "com12" << 12;
    QTest::newRow("cOm256") << "cOm256" << 256;
    QTest::newRow("COM257") << "COM257" << 0;
    QTest::newRow("COM0") << "COM0" << 0;
    QTest::newRow("COMx") << "COMx" << 0;
    QTest::newRow("COM") << "COM" << 0;
    QTest::newRow("COM 3") << "COM 3" << 0;
    QTest::newRow("COM99999999999") << "COM99999999999" << 0;
    QTest::newRow("a path") << "/dev/ttyUSB0" << 0;
}

void TstPortNames::names()
{
    QFETCH(QString, text);
    QFETCH(int, number);
    QCOMPARE(serial::ParsePortName(text.toStdString()).value_or(0), number);
}

// What the window's tooltips show of a USB adapter that the serial-port layer lists.
void TstPortNames::describe()
{
    serial::DeviceInfo info;
    info.description = "FT232R USB UART";
    info.stableName = "/dev/serial/by-id/usb-F";
    QCOMPARE(QString::fromStdString(serial::DescribePort({1, "COM1", "", "/dev/ttyUSB0", true}, &info)),
             QString::fromUtf8("COM1 \u2192 /dev/ttyUSB0, FT232R USB UART, by-id /dev/serial/by-id/usb-F"));
}

void TstPortNames::windowTooltips()
{
    FakePort port;
    MainWindow window(port);
    QVERIFY(List(window, "portList")->itemData(1, Qt::ToolTipRole).isNull());
    List(window, "portList")->showPopup();
    List(window, "portList")->hidePopup();
    QCOMPARE(List(window, "portList")->itemData(1, Qt::ToolTipRole).toString(),
             QString::fromUtf8("COM2 \u2192 ") + Here("adapter"));
    QCOMPARE(List(window, "portList")->itemData(2, Qt::ToolTipRole).toString(),
             QString::fromUtf8("COM3 \u2192 unplugged, no such device"));
    // the ports present above COM9 follow the nine, as they are when the list opens
    QCOMPARE(List(window, "portList")->count(), 10);
    QCOMPARE(List(window, "portList")->itemText(9), "COM12");
    List(window, "portList")->setCurrentIndex(9);
    QFile::remove("COM12");
    QFile::link("adapter", "COM23");
    List(window, "portList")->showPopup();
    List(window, "portList")->hidePopup();
    QCOMPARE(List(window, "portList")->count(), 10);
    QCOMPARE(List(window, "portList")->itemData(9, Qt::ToolTipRole).toString(),
             QString::fromUtf8("COM23 \u2192 ") + Here("adapter"));
    QCOMPARE(List(window, "portList")->currentText(), "COM12");
    QFile::remove("COM23");
    QFile::link("adapter", "COM12");
}

QTEST_MAIN(TstPortNames)
#include "tst_port_names.moc"
