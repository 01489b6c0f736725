#include "app/close_on_signal.h"
#include "app/main_window.h"
#include "support/fake_port.h"
#include "support/module_values.h"
#include "support/window_parts.h"

#include <QAbstractItemView>
#include <QGroupBox>
#include <QClipboard>
#include <QMimeData>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <fstream>
#include <memory>

namespace {

QString U(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QColor BackColour(QWidget *widget)
{
    return widget->palette().color(QPalette::Window);
}

} // namespace

// The window as a user meets it: controls, start-up from com.txt, typing rules and the port
// button, on a fake port.
class TstMainWindow : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_previousDir;
    FakePort m_port;
    QStringList m_messages;
    QStringList m_urls;
    QStringList m_errors;  // lines for stderr
    QStringList m_reasons;  // the informative texts of the message boxes

    std::unique_ptr<MainWindow> Start(const QByteArray *settings)
    {
        QFile::remove(m_dir.filePath("com.txt"));
        if (settings) {
            QFile file(m_dir.filePath("com.txt"));
            file.open(QIODevice::WriteOnly);
            file.write(*settings);
        }
        m_port = FakePort();
        m_messages.clear();
        m_urls.clear();
        m_errors.clear();
        m_reasons.clear();
        auto window = std::make_unique<MainWindow>(m_port);
        window->m_printError = [this](const QString &line) { m_errors << line; };
        window->m_showMessage = [this](const QString &text, const QString &reason) {
            m_messages << text;
            m_reasons << reason;
        };
        window->m_after = [](int, std::function<void()> then) { then(); };
        window->m_openUrl = [this](const QString &url) { m_urls << url; };
        return window;
    }
    std::unique_ptr<MainWindow> StartWith(const char *settings = "1\r\n9600\r\n")
    {
        const QByteArray content(settings);
        return Start(&content);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_previousDir = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
    }
    void cleanupTestCase() { QDir::setCurrent(m_previousDir); }

    void captionsAndNames_data();
    void captionsAndNames();
    void listsAndStartValues();
    void keyFilter();
    void typingLimits();
    void vendorPage();
    void startUpFromFile_data();
    void startUpFromFile();
    void shutdownWritesFile();
    void settingsFileThatIsAFolder();
    void openAndClose();
    void openFailures_data();
    void openFailures();
    void portListAndBaudClicks();
    void deviceLost();
    void typedListText_data();
    void typedListText();
    void editsBesideKeys_data();
    void editsBesideKeys();
    void signalsCloseTheWindow_data();
    void signalsCloseTheWindow();
    void commandLine_data();
    void commandLine();
};

void TstMainWindow::captionsAndNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("portGroup") << "portGroup" << U(" 通讯设置 ");
    QTest::newRow("presetGroup") << "presetGroup" << U(" 预设值 ");
    QTest::newRow("addressGroup") << "addressGroup" << U(" 模块地址更改 ");
    QTest::newRow("portCaption") << "portCaption" << U("串口号");
    QTest::newRow("stopBitsCaption") << "stopBitsCaption" << U("停止位");
    QTest::newRow("slaveCaption") << "slaveCaption" << "Slave ID";
    QTest::newRow("portButton") << "portButton" << U("打开串口");
    QTest::newRow("pwmVoltageCaption") << "pwmVoltageCaption" << "PWM Volt(1.0-24.0V):";
    QTest::newRow("pwmFrequencyCaption") << "pwmFrequencyCaption" << "PWM Freq(1-150000HZ):";
    QTest::newRow("pulseHighCaption") << "pulseHighCaption" << "Pulse HT(0.001-60.000S):";
    QTest::newRow("currentSourceCaption") << "currentSourceCaption" << U("电流源(4.00-20.00mA):");
    QTest::newRow("pulseDelayCaption") << "pulseDelayCaption" << "Pulse DT(0-60.000S):";
    QTest::newRow("voltageSourceCaption") << "voltageSourceCaption" << U("电压源(2.00-10.00V):");
    QTest::newRow("sineFrequencyCaption") << "sineFrequencyCaption" << U("正弦波频率(1-1005HZ):");
    QTest::newRow("workModeCaption") << "workModeCaption" << U("工作模式:");
    QTest::newRow("moduleBaudCaption") << "moduleBaudCaption" << U("修改波特率:");
    QTest::newRow("outputCaption") << "outputCaption" << U("输出状态:");
    QTest::newRow("outputButton") << "outputButton" << "OFF";
    QTest::newRow("writeButton") << "writeButton" << U("设 置");
    QTest::newRow("readButton") << "readButton" << U("读 取");
    QTest::newRow("changeAddressButton") << "changeAddressButton" << U("修 改");
    QTest::newRow("newAddressCaption") << "newAddressCaption" << U("模块地址:");
    QTest::newRow("sentCaption") << "sentCaption" << "Send:";
    QTest::newRow("statusCaption") << "statusCaption" << "Mess:";
    QTest::newRow("receivedCaption") << "receivedCaption" << "Rece:";
}

void TstMainWindow::captionsAndNames()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    auto window = StartWith();
    QObject *control = window->findChild<QObject *>(name);
    QVERIFY2(control, qPrintable(name));
    QString shown;
    if (auto *group = qobject_cast<QGroupBox *>(control))
        shown = group->title();
    else if (auto *label = qobject_cast<QLabel *>(control))
        shown = label->text();
    else if (auto *button = qobject_cast<QAbstractButton *>(control))
        shown = button->text();
    QCOMPARE(shown, text);
}

void TstMainWindow::listsAndStartValues()
{
    auto window = StartWith("3\r\n9600\r\n");
    QCOMPARE(window->windowTitle(), "Velqor" + QString(109, ' ') + "V2.8");
    QCOMPARE(window->size(), QSize(954, 466));
    QVERIFY(!window->windowIcon().isNull());

    QCOMPARE(List(*window, "portList")->count(), 9);
    QCOMPARE(List(*window, "portList")->itemText(8), "COM9");
    QCOMPARE(List(*window, "baudList")->count(), 6);
    QCOMPARE(List(*window, "slaveList")->count(), 255);
    QCOMPARE(List(*window, "slaveList")->itemText(254), "255");
    QCOMPARE(List(*window, "newAddressList")->count(), 254);
    QCOMPARE(List(*window, "newAddressList")->itemText(253), "254");
    QCOMPARE(List(*window, "newAddressList")->currentText(), "1");
    QCOMPARE(List(*window, "slaveList")->currentText(), "1");
    QCOMPARE(window->findChild<QComboBox *>("slaveList"), List(*window, "slaveList"));

    QCOMPARE(List(*window, "parityList")->currentText(), U("无校验"));
    QCOMPARE(List(*window, "dataBitsList")->currentText(), "8");
    QCOMPARE(List(*window, "stopBitsList")->currentText(), "1");
    QVERIFY(!List(*window, "parityList")->isEnabled() && !List(*window, "dataBitsList")->isEnabled() && !List(*window, "stopBitsList")->isEnabled());
    QCOMPARE(List(*window, "moduleBaudList")->currentText(), "9600");

    // the parameters as the module starts; the pulse counter shows its row's start text
    QStringList shown;
    for (const ValueBox *box : ValueBoxes(*window))
        shown << box->text();
    QCOMPARE(shown, ShownAfterRead(*window, kModuleStart).mid(0, 11) << "50");
    QCOMPARE(Box(*window, "pwmVoltageBox")->palette().color(QPalette::Base), QColor(0, 0, 0));
    QCOMPARE(Box(*window, "pwmVoltageBox")->palette().color(QPalette::Text), QColor(0, 255, 255));

    // Closed port, stopped timers, output OFF on a white frame, empty displays.
    QCOMPARE(PortLamp(*window)->Color(), QColor(0, 0, 0));
    QVERIFY(!ReplyTimer(*window)->isActive());
    QCOMPARE(BackColour(Part<QLabel>(*window, "outputFrame")), QColor(255, 255, 255));
    QVERIFY(Part<QPlainTextEdit>(*window, "sentBox")->toPlainText().isEmpty() && Part<QPlainTextEdit>(*window, "receivedBox")->toPlainText().isEmpty()
            && Part<QPlainTextEdit>(*window, "statusBox")->toPlainText().isEmpty());
    QVERIFY(m_port.writes.empty());
}

void TstMainWindow::keyFilter()
{
    auto window = StartWith();
    window->show();
    ValueBox *const volt = Box(*window, "pwmVoltageBox");
    ValueBox *const frequency = Box(*window, "pwmFrequencyBox");
    ValueBox *const delay = Box(*window, "pulseDelayBox");
    volt->clear();
    QTest::keyClicks(volt, "12a.5/");
    QCOMPARE(volt->text(), "12.5");

    // Backspace and the shortcut characters are discarded; Delete still removes.
    QTest::keyClick(volt, Qt::Key_Backspace);
    QCOMPARE(volt->text(), "12.5");
    volt->setCursorPosition(0);
    QTest::keyClick(volt, Qt::Key_Delete);
    QCOMPARE(volt->text(), "2.5");
    QTest::keyClick(volt, Qt::Key_End);
    QTest::keyClick(volt, Qt::Key_Left);
    QTest::keyClick(volt, Qt::Key_Delete);
    QCOMPARE(volt->text(), "2.");

    QGuiApplication::clipboard()->setText("99");
    frequency->clear();
    QTest::keyClick(frequency, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(frequency->text(), "");
    // The filter does not look at what the box holds: a point in the frequency is let in.
    QTest::keyClicks(frequency, "1.5.");
    QCOMPARE(frequency->text(), "1.5.");

    // Boxes without the filter take letters, and Backspace works there.
    delay->clear();
    QTest::keyClicks(delay, "ab");
    QTest::keyClick(delay, Qt::Key_Backspace);
    QCOMPARE(delay->text(), "a");
}

void TstMainWindow::typingLimits()
{
    auto window = StartWith();
    window->show();
    ValueBox *const workMode = Box(*window, "workModeBox");
    ValueBox *const sine = Box(*window, "sineFrequencyBox");
    ValueBox *const count = Box(*window, "pulseCountBox");
    ValueBox *const duty = Box(*window, "pwmDutyBox");
    ValueBox *const delay = Box(*window, "pulseDelayBox");
    workMode->clear();
    QTest::keyClicks(workMode, "23");
    QCOMPARE(workMode->text(), "2");

    sine->clear();
    QTest::keyClicks(sine, "1234567890123");
    QCOMPARE(sine->text(), "1234567890123");
    count->clear();
    QTest::keyClicks(count, "123456789");
    QCOMPARE(count->text(), "123456789");

    // Text the program writes is shown whole; typing cannot lengthen it, deleting can shorten it.
    duty->setText("100.0");
    QCOMPARE(duty->text(), "100.0");
    QTest::keyClick(duty, Qt::Key_End);
    QTest::keyClicks(duty, "1");
    QCOMPARE(duty->text(), "100.0");
    duty->setCursorPosition(0);
    QTest::keyClick(duty, Qt::Key_Delete);
    QCOMPARE(duty->text(), "00.0");
    QTest::keyClicks(duty, "9");
    QCOMPARE(duty->text(), "00.0");

    // A paste takes only as much as the limit leaves room for.
    QGuiApplication::clipboard()->setText("12345");
    delay->setText("0.00");
    QTest::keyClick(delay, Qt::Key_End);
    QTest::keyClick(delay, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(delay->text(), "0.0012");
}

void TstMainWindow::vendorPage()
{
    auto window = StartWith();
    window->show();
    QTest::mouseClick(Part<QLabel>(*window, "vendorAddress"), Qt::LeftButton);
    QTest::mouseClick(Part<QLabel>(*window, "workModeCaption"), Qt::RightButton);
    QVERIFY(m_urls.isEmpty());
    QTest::mouseClick(Part<QLabel>(*window, "workModeCaption"), Qt::LeftButton);
    QCOMPARE(m_urls, QStringList{Part<QLabel>(*window, "vendorAddress")->text()});
}

void TstMainWindow::startUpFromFile_data()
{
    QTest::addColumn<QByteArray>("content");  // "<none>": no file
    QTest::addColumn<QString>("portText");
    QTest::addColumn<int>("portIndex");
    QTest::addColumn<QString>("baudText");
    QTest::newRow("3 and 9600") << QByteArray("3\r\n9600\r\n") << "COM3" << 2 << "9600";
    QTest::newRow("1 and 115200") << QByteArray("1\r\n115200\r\n") << "COM1" << 0 << "115200";
    QTest::newRow("0: no item") << QByteArray("0\r\n4800\r\n") << "COM0" << -1 << "4800";
    QTest::newRow("12: no item") << QByteArray("12\r\n9600\r\n") << "COM12" << -1 << "9600";
    QTest::newRow("typed baud") << QByteArray("2\r\n14400\r\n") << "COM2" << 1 << "14400";
    QTest::newRow("no file") << QByteArray("<none>") << "COM1" << 0 << "9600";
    QTest::newRow("one line") << QByteArray("4\r\n") << "COM4" << 3 << "9600";
    QTest::newRow("empty file") << QByteArray("") << "COM1" << 0 << "9600";
    // Lines written by other editors: CR alone ends a line, a NUL ends a line's text.
    QTest::newRow("CR only") << QByteArray("3\r19200\r") << "COM3" << 2 << "19200";
    QTest::newRow("NUL in a line") << QByteArray("4\0" "9\r\n38400\0\r\n", 13) << "COM4" << 3 << "38400";
    QTest::newRow("binary bytes") << QByteArray("\x01\xff\x00\r\n\x80\r\n", 8) << QString() << -1 << QString();
}

void TstMainWindow::startUpFromFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, portText);
    QFETCH(int, portIndex);
    QFETCH(QString, baudText);
    auto window = content == "<none>" ? Start(nullptr) : Start(&content);
    if (!portText.isNull())
        QCOMPARE(List(*window, "portList")->currentText(), portText);
    QCOMPARE(List(*window, "portList")->currentIndex(), portIndex);
    if (!baudText.isNull())
        QCOMPARE(List(*window, "baudList")->currentText(), baudText);
    // Whatever the file says, the rest of the window starts the same.
    QCOMPARE(List(*window, "moduleBaudList")->currentText(), "9600");
    QCOMPARE(Box(*window, "pulseHighBox")->text(), "0.010");
    QVERIFY(m_port.writes.empty());
}

void TstMainWindow::shutdownWritesFile()
{
    {
        auto window = StartWith("1\r\n9600\r\n");
        List(*window, "portList")->setCurrentIndex(4);
        List(*window, "portList")->activated(4);
        List(*window, "baudList")->setCurrentIndex(3);
        window->close();
    }
    QCOMPARE(ReadFile(m_dir.filePath("com.txt")), QByteArray("5\r\n38400\r\n"));

    // A baud typed by hand survives a restart; a list with no item writes 0.
    {
        auto window = StartWith("0\r\n9600\r\n");
        List(*window, "baudList")->setEditText("14400");
        window->close();
    }
    QCOMPARE(ReadFile(m_dir.filePath("com.txt")), QByteArray("0\r\n14400\r\n"));
    {
        const QByteArray keep = ReadFile(m_dir.filePath("com.txt"));
        auto window = Start(&keep);
        QCOMPARE(List(*window, "baudList")->currentText(), "14400");
        QCOMPARE(List(*window, "portList")->currentText(), "COM0");
    }

    // Bytes of line 2 that are no UTF-8 go back as they were read.
    {
        auto window = StartWith("3\r\n96\xff" "00\r\n");
        window->close();
    }
    QCOMPARE(ReadFile(m_dir.filePath("com.txt")), QByteArray("3\r\n96\xff" "00\r\n"));

    // A missing file is created at close.
    {
        auto window = Start(nullptr);
        window->close();
    }
    QCOMPARE(ReadFile(m_dir.filePath("com.txt")), QByteArray("1\r\n9600\r\n"));
}

void TstMainWindow::settingsFileThatIsAFolder()
{
    QFile::remove(m_dir.filePath("com.txt"));
    QVERIFY(QDir(m_dir.path()).mkdir("com.txt"));
    {
        auto window = std::make_unique<MainWindow>(m_port);
        QCOMPARE(List(*window, "portList")->currentText(), "COM1");
        QVERIFY(window->close());
    }
    QVERIFY(QFileInfo(m_dir.filePath("com.txt")).isDir());
    QVERIFY(QDir(m_dir.filePath("com.txt")).removeRecursively());
}

void TstMainWindow::openAndClose()
{
    auto window = StartWith("3\r\n19200\r\n");
    Button(*window, "portButton")->click();
    QCOMPARE(Button(*window, "portButton")->text(), U("关闭串口"));
    QCOMPARE(PortLamp(*window)->Color(), QColor(0, 255, 0));
    QCOMPARE(m_port.lastPortNumber, 3);
    QCOMPARE(m_port.lastSettings, std::string("19200,N,8,1"));
    QVERIFY(m_port.open);

    Button(*window, "portButton")->click();
    QCOMPARE(Button(*window, "portButton")->text(), U("打开串口"));
    QCOMPARE(PortLamp(*window)->Color(), QColor(0, 0, 0));
    QVERIFY(!m_port.open);
    QVERIFY(m_messages.isEmpty());
}

void TstMainWindow::openFailures_data()
{
    QTest::addColumn<int>("trial");
    QTest::addColumn<int>("real");
    QTest::addColumn<QString>("message");
    using R = serial::OpenResult;
    QTest::newRow("no such port") << int(R::NotFound) << int(R::Ok) << U("串口不存在！");
    QTest::newRow("held elsewhere") << int(R::Busy) << int(R::Ok) << U("串口已打开！");
    QTest::newRow("no permission") << int(R::NoPermission) << int(R::Ok) << U("其它错误");
    QTest::newRow("other") << int(R::OtherError) << int(R::Ok) << U("其它错误");
    // The trial succeeds but the real open fails: taken meanwhile, or settings refused.
    QTest::newRow("taken after the trial") << int(R::Ok) << int(R::Busy) << U("串口已打开！");
    QTest::newRow("settings refused") << int(R::Ok) << int(R::BadSettings) << U("其它错误");
}

void TstMainWindow::openFailures()
{
    QFETCH(int, trial);
    QFETCH(int, real);
    QFETCH(QString, message);
    auto window = StartWith();
    m_port.trialResult = static_cast<serial::OpenResult>(trial);
    m_port.openResult = static_cast<serial::OpenResult>(real);
    m_port.lastFailure = {"/dev/ttyUSB0", "permission denied"};
    Button(*window, "portButton")->click();
    QCOMPARE(m_messages, QStringList{message});
    // the reason beneath the text (its words for each case: tst_open_failure_advice)
    if (trial == int(serial::OpenResult::NoPermission))
        QVERIFY2(m_reasons.value(0).startsWith("permission denied on /dev/ttyUSB0"), qPrintable(m_reasons.value(0)));
    QCOMPARE(m_errors.size(), 1);  // and one line for stderr (its words: tst_serial_pty)
    QCOMPARE(Button(*window, "portButton")->text(), U("打开串口"));
    QCOMPARE(PortLamp(*window)->Color(), QColor(0, 0, 0));
    QVERIFY(!m_port.open);
}

void TstMainWindow::portListAndBaudClicks()
{
    auto window = StartWith("2\r\n9600\r\n");
    // The entry already chosen: nothing happens, also while open.
    Button(*window, "portButton")->click();
    List(*window, "portList")->activated(1);
    QCOMPARE(Button(*window, "portButton")->text(), U("关闭串口"));
    QVERIFY(m_port.open);

    // Another entry while open: the port closes and the window says so.
    List(*window, "portList")->setCurrentIndex(5);
    List(*window, "portList")->activated(5);
    QCOMPARE(Button(*window, "portButton")->text(), U("打开串口"));
    QCOMPARE(PortLamp(*window)->Color(), QColor(0, 0, 0));
    QVERIFY(!m_port.open);
    Button(*window, "portButton")->click();
    QCOMPARE(m_port.lastPortNumber, 6);
    QVERIFY(m_port.open);

    // A baud-rate click closes an open port and does not reopen it.
    List(*window, "baudList")->setCurrentIndex(0);
    List(*window, "baudList")->activated(0);
    QCOMPARE(Button(*window, "portButton")->text(), U("打开串口"));
    QVERIFY(!m_port.open);
    List(*window, "baudList")->activated(0);
    QCOMPARE(Button(*window, "portButton")->text(), U("打开串口"));
    Button(*window, "portButton")->click();
    QCOMPARE(m_port.lastSettings, std::string("4800,N,8,1"));
}

void TstMainWindow::deviceLost()
{
    auto window = StartWith();
    Button(*window, "portButton")->click();
    m_port.Pull();
    QCOMPARE(Button(*window, "portButton")->text(), U("打开串口"));
    QCOMPARE(PortLamp(*window)->Color(), QColor(0, 0, 0));
    // The user is told why the lamp went black; a request now is refused before anything is sent.
    QCOMPARE(m_messages, QStringList{U("串口不存在！")});
    QCOMPARE(m_errors, QStringList{"COM1: the device went away"});
    Button(*window, "readButton")->click();
    QCOMPARE(m_messages, (QStringList{U("串口不存在！"), U("请先打开串口！")}));
    QVERIFY(m_port.writes.empty());
    Button(*window, "portButton")->click();
    QCOMPARE(Button(*window, "portButton")->text(), U("关闭串口"));
}

// Text typed into a list is taken as typed: no completion, Enter chooses nothing, no click
// runs. The port list's chosen item follows its text, and the port button opens that one.
void TstMainWindow::typedListText_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("enter");
    QTest::addColumn<int>("index");  // the port list's chosen item
    QTest::addColumn<int>("port");   // the port the button opens then; 0 for none
    QTest::newRow("module baud 1") << "moduleBaudList" << "1" << false << 2 << 3;
    QTest::newRow("baud 1") << "baudList" << "1" << false << 2 << 3;
    QTest::newRow("baud 19200 Enter") << "baudList" << "19200" << true << 2 << 3;
    QTest::newRow("port COM7 Enter") << "portList" << "COM7" << true << 6 << 7;
    // Any port Windows may number, typed in any letter case; a name that is no port opens none.
    QTest::newRow("port COM77") << "portList" << "COM77" << false << -1 << 77;
    QTest::newRow("port com12") << "portList" << "com12" << false << -1 << 12;
    QTest::newRow("port cOm3") << "portList" << "cOm3" << false << -1 << 3;
    QTest::newRow("port COM257") << "portList" << "COM257" << false << -1 << 0;
    QTest::newRow("port COMx") << "portList" << "COMx" << false << -1 << 0;
}

void TstMainWindow::typedListText()
{
    QFETCH(QString, list);
    QFETCH(QString, typed);
    QFETCH(bool, enter);
    QFETCH(int, index);
    QFETCH(int, port);
    {
        auto window = StartWith("3\r\n9600\r\n");
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));  // completion works in the focused list
        Button(*window, "portButton")->click();
        auto *combo = window->findChild<QComboBox *>(list);
        combo->setFocus();
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo, typed);
        if (enter)
            QTest::keyClick(combo, Qt::Key_Return);
        QCOMPARE(combo->currentText(), typed);
        QCOMPARE(List(*window, "portList")->currentIndex(), index);
        QCOMPARE(m_port.lastPortNumber, 3);  // no click ran: COM3 is still open
        QVERIFY(m_port.open);
        Button(*window, "portButton")->click();
        Button(*window, "portButton")->click();
        QCOMPARE(m_port.open ? m_port.lastPortNumber : 0, port);
        QCOMPARE(m_messages, port < 1 ? QStringList{U("串口不存在！")} : QStringList());
        if (port < 1)
            QCOMPARE(m_reasons.value(0), "no port is named " + typed + " (COM1 to COM256)");
        // Picking COM3 from the drop-down closes a port open on another one, and only then.
        List(*window, "portList")->setCurrentIndex(2);
        List(*window, "portList")->activated(2);
        QCOMPARE(m_port.open, port == 3);
        List(*window, "portList")->setCurrentIndex(index);
        if (index < 0)
            List(*window, "portList")->setEditText(typed);
        window->close();
    }
    // line 1 keeps the port's number, also above 9
    QCOMPARE(ReadFile(m_dir.filePath("com.txt")).split('\r').first(), QByteArray::number(port));
}

// The typing limit and the PWM key filter hold for an input method, the context menu's
// Paste and a drop, as for keys.
void TstMainWindow::editsBesideKeys_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");
    QTest::newRow("input method, filter") << "pwmVoltageBox" << "im" << U("1a２.") << "1.";
    QTest::newRow("menu paste, limit 6") << "pulseNumberBox" << "paste" << "1234567" << "123456";
    QTest::newRow("Shift+Insert, filter then limit") << "pwmVoltageBox" << "shift+insert" << "ab12345" << "1234";
    QTest::newRow("drop, filter and limit") << "pwmFrequencyBox" << "drop" << "12ab34567" << "123456";
    QTest::newRow("drop, no limit") << "sineFrequencyBox" << "drop" << "abc1234567" << "abc1234567";
}

void TstMainWindow::editsBesideKeys()
{
    QFETCH(QString, box);
    QFETCH(QString, way);
    QFETCH(QString, text);
    QFETCH(QString, kept);
    auto window = StartWith();
    window->show();
    auto *field = window->findChild<ValueBox *>(box);
    field->clear();
    if (way == "im") {
        QInputMethodEvent event;
        event.setCommitString(text);
        QApplication::sendEvent(field, &event);
    } else if (way == "paste") {
        QGuiApplication::clipboard()->setText(text);
        field->paste();  // what the context menu's Paste does
    } else if (way == "shift+insert") {
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(field, Qt::Key_Insert, Qt::ShiftModifier);
    } else {
        QMimeData data;
        data.setText(text);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(field, &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(field, &drop);
    }
    QCOMPARE(field->text(), kept);
}

// Ctrl+C in the terminal and logging out close the window as its close button does.
void TstMainWindow::signalsCloseTheWindow_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TstMainWindow::signalsCloseTheWindow()
{
    QFETCH(int, signal);
    {
        auto window = StartWith("1\r\n9600\r\n");
        window->show();
        List(*window, "portList")->setCurrentIndex(4);
        app::CloseOnSignals(window.get());
        std::raise(signal);
        QTRY_VERIFY(!window->isVisible());
    }
    QCOMPARE(ReadFile(m_dir.filePath("com.txt")), QByteArray("5\r\n9600\r\n"));
}

// The program itself: options answered without a display, and no display said in one line.
void TstMainWindow::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("platform");  // QT_QPA_PLATFORM; no WAYLAND_DISPLAY
    QTest::addColumn<QString>("display");   // DISPLAY
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");  // the start of stdout; empty: nothing
    QTest::addColumn<QString>("err");  // the start of stderr; empty: nothing
    QTest::newRow("--help") << QStringList{"--help"} << "" << "" << 0 << "Usage: " << "";
    QTest::newRow("--version") << QStringList{"--version"} << "" << "" << 0 << "velqor-config 2.8\n" << "";
    QTest::newRow("no display") << QStringList() << "" << "" << 1 << "" << "velqor-config: no display";
    QTest::newRow("xcb, no display") << QStringList() << "xcb" << "" << 1 << "" << "velqor-config: no X display";
    QTest::newRow("no server on :987") << QStringList() << "" << ":987" << 1 << ""
                                       << "velqor-config: no X server answers on display :987";
    // told before the display is looked for
    QTest::newRow("unknown option") << QStringList{"--bogus"} << "" << "" << 2 << ""
                                    << "velqor-config: unknown option --bogus";
}

void TstMainWindow::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, platform);
    QFETCH(QString, display);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display);
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("QT_QPA_PLATFORM", platform);  // empty: Qt's own choice
    environment.insert("XDG_RUNTIME_DIR", m_dir.path());  // no word from Qt about a missing one
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(m_dir.path());
    program.start(VELQOR_CONFIG_PATH, arguments);
    QVERIFY(program.waitForFinished(20000));
    const QString stdoutText = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString stderrText = QString::fromLocal8Bit(program.readAllStandardError());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), status);
    QVERIFY2(out.isEmpty() ? stdoutText.isEmpty() : stdoutText.startsWith(out), qPrintable(stdoutText));
    QVERIFY2(err.isEmpty() ? stderrText.isEmpty() : stderrText.startsWith(err), qPrintable(stderrText));
    if (status != 0)
        QCOMPARE(stderrText.count('\n'), 1);
}

QTEST_MAIN(TstMainWindow)
#include "tst_main_window.moc"
