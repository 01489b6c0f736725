#include "app/close_on_signal.h"
#include "app/main_window.h"
#include "support/fake_port.h"

#include <QAbstractItemView>
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
        window->m_sleep = [](int) {};
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
    void clicksThatStopTimer2();
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
    QTest::newRow("Frame1") << "Frame1" << U(" 通讯设置 ");
    QTest::newRow("Frame3") << "Frame3" << U(" 预设值 ");
    QTest::newRow("Frame2") << "Frame2" << U(" 模块地址更改 ");
    QTest::newRow("Label1") << "Label1" << U("串口号");
    QTest::newRow("Label5") << "Label5" << U("停止位");
    QTest::newRow("Label12") << "Label12" << "Slave ID";
    QTest::newRow("Command1") << "Command1" << U("打开串口");
    QTest::newRow("Label11") << "Label11" << "PWM Volt(1.0-24.0V):";
    QTest::newRow("Label10(0)") << "Label10(0)" << "PWM Freq(1-150000HZ):";
    QTest::newRow("Label10(1)") << "Label10(1)" << "Pulse HT(0.001-60.000S):";
    QTest::newRow("Label10(2)") << "Label10(2)" << U("电流源(4.00-20.00mA):");
    QTest::newRow("Label20(1)") << "Label20(1)" << "Pulse DT(0-60.000S):";
    QTest::newRow("Label22") << "Label22" << U("电压源(2.00-10.00V):");
    QTest::newRow("Label23") << "Label23" << U("正弦波频率(1-1005HZ):");
    QTest::newRow("Label9") << "Label9" << U("工作模式:");
    QTest::newRow("Label16") << "Label16" << U("修改波特率:");
    QTest::newRow("Label18(3)") << "Label18(3)" << U("输出状态:");
    QTest::newRow("Command5") << "Command5" << "OFF";
    QTest::newRow("Command2") << "Command2" << U("设 置");
    QTest::newRow("Command3") << "Command3" << U("读 取");
    QTest::newRow("Command_OK1") << "Command_OK1" << U("修 改");
    QTest::newRow("Label6") << "Label6" << U("模块地址:");
    QTest::newRow("Label13(0)") << "Label13(0)" << "Send:";
    QTest::newRow("Label7") << "Label7" << "Mess:";
    QTest::newRow("Label14") << "Label14" << "Rece:";
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

    QCOMPARE(window->Combo1->count(), 9);
    QCOMPARE(window->Combo1->itemText(8), "COM9");
    QCOMPARE(window->Combo2->count(), 6);
    QCOMPARE(window->Combo_Addr[2]->count(), 255);
    QCOMPARE(window->Combo_Addr[2]->itemText(254), "255");
    QCOMPARE(window->Combo_Addr[0]->count(), 254);
    QCOMPARE(window->Combo_Addr[0]->itemText(253), "254");
    QCOMPARE(window->Combo_Addr[0]->currentText(), "1");
    QCOMPARE(window->Combo_Addr[2]->currentText(), "1");
    QCOMPARE(window->findChild<QComboBox *>("Combo_Addr(2)"), window->Combo_Addr[2]);

    QCOMPARE(window->Combo3->currentText(), U("无校验"));
    QCOMPARE(window->Combo4->currentText(), "8");
    QCOMPARE(window->Combo5->currentText(), "1");
    QVERIFY(!window->Combo3->isEnabled() && !window->Combo4->isEnabled() && !window->Combo5->isEnabled());
    QCOMPARE(window->Combo6->currentText(), "9600");

    const QStringList shown{"10.0", "1000", "50.0", "0.000", "0.010", "0.010", "50", "5.00", "4.00", "1", "50", "50"};
    const QList<ValueBox *> boxes{window->Text3, window->Text4, window->Text5, window->Text6,
                                  window->Text7, window->Text8, window->Text9, window->Text10,
                                  window->Text11, window->Text12, window->Text13, window->Text14};
    for (int i = 0; i < boxes.size(); ++i)
        QCOMPARE(boxes[i]->text(), shown[i]);
    QCOMPARE(window->Text3->palette().color(QPalette::Base), QColor(0, 0, 0));
    QCOMPARE(window->Text3->palette().color(QPalette::Text), QColor(0, 255, 255));

    // Closed port, stopped timers, output OFF on a white frame, empty displays.
    QCOMPARE(window->Shape1->Color(), QColor(0, 0, 0));
    QVERIFY(!window->Timer1->isActive() && !window->Timer2->isActive() && !window->Timer3->isActive());
    QCOMPARE(window->Timer1->interval(), 160);
    QCOMPARE(window->Timer2->interval(), 500);
    QCOMPARE(window->Timer3->interval(), 1000);
    QCOMPARE(BackColour(window->Label15[0]), QColor(255, 255, 255));
    QVERIFY(window->Text1[0]->toPlainText().isEmpty() && window->Text2->toPlainText().isEmpty()
            && window->Message_Show->toPlainText().isEmpty());
    QVERIFY(m_port.writes.empty());
}

void TstMainWindow::keyFilter()
{
    auto window = StartWith();
    window->show();
    window->Text3->clear();
    QTest::keyClicks(window->Text3, "12a.5/");
    QCOMPARE(window->Text3->text(), "12.5");

    // Backspace and the shortcut characters are discarded; Delete still removes.
    QTest::keyClick(window->Text3, Qt::Key_Backspace);
    QCOMPARE(window->Text3->text(), "12.5");
    window->Text3->setCursorPosition(0);
    QTest::keyClick(window->Text3, Qt::Key_Delete);
    QCOMPARE(window->Text3->text(), "2.5");
    QTest::keyClick(window->Text3, Qt::Key_End);
    QTest::keyClick(window->Text3, Qt::Key_Left);
    QTest::keyClick(window->Text3, Qt::Key_Delete);
    QCOMPARE(window->Text3->text(), "2.");

    QGuiApplication::clipboard()->setText("99");
    window->Text4->clear();
    QTest::keyClick(window->Text4, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(window->Text4->text(), "");
    // The filter does not look at what the box holds: a point in the frequency is let in.
    QTest::keyClicks(window->Text4, "1.5.");
    QCOMPARE(window->Text4->text(), "1.5.");

    // Boxes without the filter take letters, and Backspace works there.
    window->Text6->clear();
    QTest::keyClicks(window->Text6, "ab");
    QTest::keyClick(window->Text6, Qt::Key_Backspace);
    QCOMPARE(window->Text6->text(), "a");
}

void TstMainWindow::typingLimits()
{
    auto window = StartWith();
    window->show();
    window->Text12->clear();
    QTest::keyClicks(window->Text12, "23");
    QCOMPARE(window->Text12->text(), "2");

    window->Text13->clear();
    QTest::keyClicks(window->Text13, "1234567890123");
    QCOMPARE(window->Text13->text(), "1234567890123");
    window->Text14->clear();
    QTest::keyClicks(window->Text14, "123456789");
    QCOMPARE(window->Text14->text(), "123456789");

    // Text the program writes is shown whole; typing cannot lengthen it, deleting can shorten it.
    window->Text5->setText("100.0");
    QCOMPARE(window->Text5->text(), "100.0");
    QTest::keyClick(window->Text5, Qt::Key_End);
    QTest::keyClicks(window->Text5, "1");
    QCOMPARE(window->Text5->text(), "100.0");
    window->Text5->setCursorPosition(0);
    QTest::keyClick(window->Text5, Qt::Key_Delete);
    QCOMPARE(window->Text5->text(), "00.0");
    QTest::keyClicks(window->Text5, "9");
    QCOMPARE(window->Text5->text(), "00.0");

    // A paste takes only as much as the limit leaves room for.
    QGuiApplication::clipboard()->setText("12345");
    window->Text6->setText("0.00");
    QTest::keyClick(window->Text6, Qt::Key_End);
    QTest::keyClick(window->Text6, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(window->Text6->text(), "0.0012");
}

void TstMainWindow::clicksThatStopTimer2()
{
    auto window = StartWith();
    window->show();
    QTest::mouseClick(window->Text4, Qt::LeftButton);
    QVERIFY(!window->Timer2->isActive());  // stopping a stopped timer changes nothing
    for (QWidget *box : {static_cast<QWidget *>(window->Text3), static_cast<QWidget *>(window->Text4),
                         static_cast<QWidget *>(window->Text5)}) {
        window->Timer2->start();
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(!window->Timer2->isActive());
    }
    window->Timer2->start();
    window->Combo6->activated(3);
    QVERIFY(!window->Timer2->isActive());
    window->Timer2->start();
    QTest::mouseClick(window->Text6, Qt::LeftButton);
    QTest::mouseClick(window->Text4, Qt::RightButton);  // a click is the left button's
    QVERIFY(window->Timer2->isActive());
    window->Timer2->stop();
}

void TstMainWindow::vendorPage()
{
    auto window = StartWith();
    window->show();
    QTest::mouseClick(window->Label30, Qt::LeftButton);
    QTest::mouseClick(window->Label9, Qt::RightButton);
    QVERIFY(m_urls.isEmpty());
    QTest::mouseClick(window->Label9, Qt::LeftButton);
    QCOMPARE(m_urls, QStringList{window->Label30->text()});
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
        QCOMPARE(window->Combo1->currentText(), portText);
    QCOMPARE(window->Combo1->currentIndex(), portIndex);
    QCOMPARE(window->SelectedPort, portIndex + 1);
    if (!baudText.isNull())
        QCOMPARE(window->Combo2->currentText(), baudText);
    // Whatever the file says, the rest of the window starts the same.
    QCOMPARE(window->Combo6->currentText(), "9600");
    QCOMPARE(window->Text7->text(), "0.010");
    QVERIFY(m_port.writes.empty());
}

void TstMainWindow::shutdownWritesFile()
{
    {
        auto window = StartWith("1\r\n9600\r\n");
        window->Combo1->setCurrentIndex(4);
        window->Combo1->activated(4);
        window->Combo2->setCurrentIndex(3);
        window->close();
    }
    QCOMPARE(ReadFile(m_dir.filePath("com.txt")), QByteArray("5\r\n38400\r\n"));

    // A baud typed by hand survives a restart; a list with no item writes 0.
    {
        auto window = StartWith("0\r\n9600\r\n");
        window->Combo2->setEditText("14400");
        window->close();
    }
    QCOMPARE(ReadFile(m_dir.filePath("com.txt")), QByteArray("0\r\n14400\r\n"));
    {
        const QByteArray keep = ReadFile(m_dir.filePath("com.txt"));
        auto window = Start(&keep);
        QCOMPARE(window->Combo2->currentText(), "14400");
        QCOMPARE(window->Combo1->currentText(), "COM0");
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
        QCOMPARE(window->Combo1->currentText(), "COM1");
        QVERIFY(window->close());
    }
    QVERIFY(QFileInfo(m_dir.filePath("com.txt")).isDir());
    QVERIFY(QDir(m_dir.filePath("com.txt")).removeRecursively());
}

void TstMainWindow::openAndClose()
{
    auto window = StartWith("3\r\n19200\r\n");
    window->Command1->click();
    QCOMPARE(window->Command1->text(), U("关闭串口"));
    QCOMPARE(window->Shape1->Color(), QColor(0, 255, 0));
    QCOMPARE(m_port.lastPortNumber, 3);
    QCOMPARE(m_port.lastSettings, std::string("19200,N,8,1"));
    QCOMPARE(window->OpenPortNumber, 3);
    QVERIFY(m_port.open);

    window->Timer2->start();
    window->Command1->click();
    QCOMPARE(window->Command1->text(), U("打开串口"));
    QCOMPARE(window->Shape1->Color(), QColor(0, 0, 0));
    QCOMPARE(window->OpenPortNumber, 0);
    QVERIFY(!window->Timer2->isActive());
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
    window->Command1->click();
    QCOMPARE(m_messages, QStringList{message});
    // the reason beneath the text (its words for each case: tst_open_failure_advice)
    if (trial == int(serial::OpenResult::NoPermission))
        QVERIFY2(m_reasons.value(0).startsWith("permission denied on /dev/ttyUSB0"), qPrintable(m_reasons.value(0)));
    QCOMPARE(m_errors.size(), 1);  // and one line for stderr (its words: tst_serial_pty)
    QCOMPARE(window->Command1->text(), U("打开串口"));
    QCOMPARE(window->Shape1->Color(), QColor(0, 0, 0));
    QCOMPARE(window->OpenPortNumber, 0);
    QVERIFY(!m_port.open);
}

void TstMainWindow::portListAndBaudClicks()
{
    auto window = StartWith("2\r\n9600\r\n");
    // The entry already chosen: nothing happens, also while open.
    window->Command1->click();
    window->Combo1->activated(1);
    QCOMPARE(window->Command1->text(), U("关闭串口"));
    QVERIFY(m_port.open);

    // Another entry while open: the port closes and the window says so.
    window->Timer2->start();
    window->Combo1->setCurrentIndex(5);
    window->Combo1->activated(5);
    QCOMPARE(window->Command1->text(), U("打开串口"));
    QCOMPARE(window->Shape1->Color(), QColor(0, 0, 0));
    QCOMPARE(window->OpenPortNumber, 0);
    QVERIFY(!window->Timer2->isActive());
    QVERIFY(!m_port.open);
    window->Command1->click();
    QCOMPARE(m_port.lastPortNumber, 6);
    QVERIFY(m_port.open);

    // A baud-rate click closes an open port and does not reopen it.
    window->Combo2->setCurrentIndex(0);
    window->Combo2->activated(0);
    QCOMPARE(window->Command1->text(), U("打开串口"));
    QVERIFY(!m_port.open);
    window->Combo2->activated(0);
    QCOMPARE(window->Command1->text(), U("打开串口"));
    window->Command1->click();
    QCOMPARE(m_port.lastSettings, std::string("4800,N,8,1"));
}

void TstMainWindow::deviceLost()
{
    auto window = StartWith();
    window->Command1->click();
    window->Timer2->start();
    m_port.Pull();
    QCOMPARE(window->Command1->text(), U("打开串口"));
    QCOMPARE(window->Shape1->Color(), QColor(0, 0, 0));
    QCOMPARE(window->OpenPortNumber, 0);
    QVERIFY(!window->Timer2->isActive());
    // The user is told why the lamp went black; a request now is refused before anything is sent.
    QCOMPARE(m_messages, QStringList{U("串口不存在！")});
    QCOMPARE(m_errors, QStringList{"COM1: the device went away"});
    window->Command3->click();
    QCOMPARE(m_messages, (QStringList{U("串口不存在！"), U("请先打开串口！")}));
    QVERIFY(m_port.writes.empty());
    window->Command1->click();
    QCOMPARE(window->Command1->text(), U("关闭串口"));
}

// Text typed into a list is taken as typed: no completion, Enter chooses nothing, no click
// runs. Combo1's chosen item follows its text, and the port button opens that one.
void TstMainWindow::typedListText_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("enter");
    QTest::addColumn<int>("index");  // Combo1's chosen item
    QTest::newRow("Combo6 1") << "Combo6" << "1" << false << 2;
    QTest::newRow("Combo2 1") << "Combo2" << "1" << false << 2;
    QTest::newRow("Combo2 19200 Enter") << "Combo2" << "19200" << true << 2;
    QTest::newRow("Combo1 COM7 Enter") << "Combo1" << "COM7" << true << 6;
    QTest::newRow("Combo1 COM77") << "Combo1" << "COM77" << false << -1;
}

void TstMainWindow::typedListText()
{
    QFETCH(QString, list);
    QFETCH(QString, typed);
    QFETCH(bool, enter);
    QFETCH(int, index);
    {
        auto window = StartWith("3\r\n9600\r\n");
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));  // completion works in the focused list
        window->Command1->click();
        auto *combo = window->findChild<QComboBox *>(list);
        combo->setFocus();
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo, typed);
        if (enter)
            QTest::keyClick(combo, Qt::Key_Return);
        QCOMPARE(combo->currentText(), typed);
        QCOMPARE(window->Combo1->currentIndex(), index);
        QCOMPARE(window->OpenPortNumber, 3);  // no click ran: COM3 is still open
        QVERIFY(m_port.open);
        window->Command1->click();
        window->Command1->click();
        QCOMPARE(window->OpenPortNumber, index + 1);
        QCOMPARE(m_messages, index < 0 ? QStringList{U("串口不存在！")} : QStringList());
        // Picking COM3 from the drop-down closes a port open on another one, and only then.
        window->Combo1->setCurrentIndex(2);
        window->Combo1->activated(2);
        QCOMPARE(m_port.open, index == 2);
        window->Combo1->setCurrentIndex(index);
        window->close();
    }
    QCOMPARE(ReadFile(m_dir.filePath("com.txt")).split('\r').first(), QByteArray::number(index + 1));
}

// The typing limit and the PWM key filter hold for an input method, the context menu's
// Paste and a drop, as for keys.
void TstMainWindow::editsBesideKeys_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");
    QTest::newRow("input method, filter") << "Text3" << "im" << U("1a２.") << "1.";
    QTest::newRow("menu paste, limit 6") << "Text9" << "paste" << "1234567" << "123456";
    QTest::newRow("Shift+Insert, filter then limit") << "Text3" << "shift+insert" << "ab12345" << "1234";
    QTest::newRow("drop, filter and limit") << "Text4" << "drop" << "12ab34567" << "123456";
    QTest::newRow("drop, no limit") << "Text13" << "drop" << "abc1234567" << "abc1234567";
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
        window->Combo1->setCurrentIndex(4);
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
