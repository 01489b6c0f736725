// The window and the real port layer against the module simulator on a socat pty pair:
// what the user sees, what goes on the wire and what the module ends up holding.

#include "app/main_window.h"
#include "serial/qt_serial_port.h"
#include "support/pty_pair.h"
#include "support/sim_process.h"

#include <QtTest>

#include <memory>

namespace {

QString U(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

const QString kGood = U("通讯数据正常！");
const QString kBad = U("通讯数据错误！");
const QString kOpenCaption = U("关闭串口");
const QString kClosedCaption = U("打开串口");

// The start values of the module as the window shows them after a read: Text3 .. Text14,
// Combo6, Command5.
const QStringList kModuleStart{"10.0", "1000", "50.0", "0.000", "0.010", "0.010", "50",
                               "5.00", "4.00", "1",    "50",   "0",    "9600", "OFF"};

QList<QLineEdit *> ValueBoxes(const MainWindow &w)
{
    return {w.Text3, w.Text4, w.Text5, w.Text6, w.Text7, w.Text8,
            w.Text9, w.Text10, w.Text11, w.Text12, w.Text13, w.Text14};
}

// What a decoded read can change: Text3 .. Text14, Combo6 and the output switch.
QStringList Shown(const MainWindow &w)
{
    QStringList shown;
    for (const QLineEdit *box : ValueBoxes(w))
        shown << box->text();
    return shown << w.Combo6->currentText() << w.Command5->text();
}

// The parameter block 0x0000..0x000C as the fields show it, scaled to register values.
QStringList BlockFromFields(const MainWindow &w)
{
    auto scaled = [](const QLineEdit *box, double scale) {
        return QString::number(qRound(box->text().toDouble() * scale));
    };
    const qint64 frequency = w.Text4->text().toLongLong();
    return {scaled(w.Text3, 10),
            QString::number(frequency >> 16),
            QString::number(frequency & 0xFFFF),
            scaled(w.Text5, 10),
            scaled(w.Text6, 1000),
            scaled(w.Text7, 1000),
            scaled(w.Text8, 1000),
            scaled(w.Text9, 1),
            scaled(w.Text10, 100),
            scaled(w.Text11, 100),
            scaled(w.Text13, 1),
            scaled(w.Text12, 1),
            QString::number(w.Combo6->findText(w.Combo6->currentText()))};
}

// Register `index` of the simulator's last "regs" line.
QString Register(const QString &regsLine, int index)
{
    return regsLine.split(QLatin1Char(' ')).value(index + 1);
}

QString Hex(const QString &simLine)
{
    // "rep 01 03 .." -> the window's rendering "01 03 .. "
    return simLine.section(QLatin1Char(' '), 1) + QLatin1Char(' ');
}

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// One working folder with com.txt and the link COMn, a socat pty pair from COMn to the
// simulator, and the window on the real port. Everything it starts ends with it.
class Bench {
public:
    explicit Bench(int portNumber = 1) : m_portNumber(portNumber) {}
    ~Bench()
    {
        if (QTest::currentTestFailed() && m_sim)
            qWarning("--- simulator output ---\n%s", qPrintable(m_sim->Log()));
        window.reset();
        port.Close();
        m_sim.reset();
        m_line.reset();
        if (!m_previousDir.isEmpty())
            QDir::setCurrent(m_previousDir);
    }
    Bench(const Bench &) = delete;
    Bench &operator=(const Bench &) = delete;

    bool Start(const QStringList &simArguments = {})
    {
        if (!m_dir.isValid())
            return false;
        m_previousDir = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        QFile settings(QStringLiteral("com.txt"));
        if (!settings.open(QIODevice::WriteOnly) || settings.write("1\r\n9600\r\n") < 0)
            return false;
        settings.close();
        if (!StartLine() || !StartSim(simArguments))
            return false;
        MakeWindow();
        return true;
    }

    bool StartLine()
    {
        m_line = std::make_unique<PtyPair>(m_dir.filePath(QStringLiteral("COM%1").arg(m_portNumber)),
                                           m_dir.filePath(QStringLiteral("module")));
        return m_line->Start();
    }
    // The adapter is pulled: the pty pair goes away.
    void StopLine() { m_line.reset(); }

    bool StartSim(QStringList arguments = {})
    {
        m_sim = std::make_unique<SimProcess>(QStringLiteral(VELQOR_SIM_PATH),
                                             m_dir.filePath(QStringLiteral("sim-%1.log").arg(++m_simRuns)));
        arguments = QStringList{QStringLiteral("--device"), m_dir.filePath(QStringLiteral("module")),
                                QStringLiteral("--faults-file"), m_dir.filePath(QStringLiteral("faults"))}
                    + arguments;
        return m_sim->Start(arguments);
    }
    SimProcess &sim() { return *m_sim; }

    // A new window, as at program start; start-up reads com.txt.
    void MakeWindow()
    {
        window.reset();
        window = std::make_unique<MainWindow>(port);
        window->m_showMessage = [this](const QString &text, const QString &) { messages << text; };
        window->m_openUrl = [](const QString &) {};
    }

    // Chooses COMn and presses the port button; true when the port is open without a message.
    bool Open()
    {
        const int index = m_portNumber - 1;
        if (window->Combo1->currentIndex() != index) {
            window->Combo1->setCurrentIndex(index);
            emit window->Combo1->activated(index);
        }
        window->Command1->click();
        return window->Command1->text() == kOpenCaption && port.IsOpen() && messages.isEmpty();
    }

    // The fault words the simulator applies from its next request on.
    bool SetFaults(const char *words)
    {
        QFile file(m_dir.filePath(QStringLiteral("faults")));
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(words) >= 0;
    }

    // Presses `button` and waits for the reply check; the status it wrote.
    QString Exchange(QAbstractButton *button)
    {
        button->click();
        if (!QTest::qWaitFor([this] { return !window->Timer1->isActive(); }, 10000))
            return QStringLiteral("<no reply check>");
        return window->Message_Show->toPlainText();
    }

    QStringList messages;
    serial::QtSerialPort port;
    std::unique_ptr<MainWindow> window;

private:
    QTemporaryDir m_dir;
    QString m_previousDir;
    int m_portNumber;
    int m_simRuns = 0;
    std::unique_ptr<PtyPair> m_line;
    std::unique_ptr<SimProcess> m_sim;
};

} // namespace

class TstWindowE2e : public QObject {
    Q_OBJECT
private slots:
    void readAndWrite();
    void outputSwitchAndPulseCounter();
    void addressChange();
    void faultyReplies_data();
    void faultyReplies();
    void deviceVanishes();
    void bytesOnTheWire();
    void closingSavesPortAndBaud();
};

void TstWindowE2e::readAndWrite()
{
    Bench bench;
    QVERIFY(bench.Start());
    MainWindow &w = *bench.window;
    QVERIFY(bench.Open());

    // A read fills emptied fields with what the module holds.
    for (QLineEdit *box : ValueBoxes(w))
        box->clear();
    w.Combo6->setEditText(QString());
    QCOMPARE(bench.Exchange(w.Command3), kGood);
    QCOMPARE(Shown(w), kModuleStart);
    QTRY_COMPARE(w.Text2->toPlainText(), Hex(bench.sim().Last("rep ")));

    // A write of chosen values, one beyond its bound: the module holds what the fields show.
    w.Text3->setText("12.5");
    w.Text4->setText("123456");
    w.Text5->setText("33.3");
    w.Text6->setText("1.5");
    w.Text7->setText("0.25");
    w.Text8->setText("2");
    w.Text9->setText("777");
    w.Text10->setText("7.5");
    w.Text11->setText("25");
    w.Text12->setText("3");
    w.Text13->setText("999");
    w.Combo6->setEditText("38400");
    QCOMPARE(bench.Exchange(w.Command2), kGood);
    const QStringList written = Shown(w);
    QCOMPARE(written, (QStringList{"12.5", "123456", "33.3", "1.500", "0.250", "2.000", "777", "7.50", "20.00",
                                   "3", "999", "0", "38400", "OFF"}));
    const QString regs = bench.sim().Last("regs ");
    QCOMPARE(regs.split(' ').mid(1, 13), BlockFromFields(w));
    QCOMPARE(Register(regs, 13), QString("0"));  // the output switch is no part of the block
    QTRY_COMPARE(w.Text2->toPlainText(), Hex(bench.sim().Last("rep ")));

    // Other texts in the fields; a read brings back what was written.
    for (QLineEdit *box : ValueBoxes(w))
        box->setText("0");
    w.Combo6->setEditText("4800");
    QCOMPARE(bench.Exchange(w.Command3), kGood);
    QCOMPARE(Shown(w), written);
    QCOMPARE(bench.messages, QStringList());
}

void TstWindowE2e::outputSwitchAndPulseCounter()
{
    Bench bench;
    QVERIFY(bench.Start());
    QVERIFY(bench.Open());
    MainWindow *w = bench.window.get();

    QCOMPARE(bench.Exchange(w->Command5), kGood);
    QCOMPARE(w->Command5->text(), QString("ON"));
    QCOMPARE(Register(bench.sim().Last("regs "), 13), QString("1"));

    // With the output on, the module counts pulses between two reads.
    QCOMPARE(bench.Exchange(w->Command3), kGood);
    const int first = w->Text14->text().toInt();
    QCOMPARE(bench.Exchange(w->Command3), kGood);
    QVERIFY2(w->Text14->text().toInt() > first,
             qPrintable(QString("pulse count %1, then %2").arg(first).arg(w->Text14->text())));

    // A restarted tool shows OFF until it reads the module's state back.
    bench.port.Close();
    bench.MakeWindow();
    w = bench.window.get();
    QCOMPARE(w->Command5->text(), QString("OFF"));
    QVERIFY(bench.Open());
    QCOMPARE(bench.Exchange(w->Command3), kGood);
    QCOMPARE(w->Command5->text(), QString("ON"));
    QCOMPARE(w->Label15[0]->palette().color(QPalette::Window), QColor(0, 255, 0));
    QCOMPARE(w->OutputFlag, 1);

    // Switched off, the register is 0 and the count stands still.
    QCOMPARE(bench.Exchange(w->Command5), kGood);
    QCOMPARE(w->Command5->text(), QString("OFF"));
    QCOMPARE(w->Label15[0]->palette().color(QPalette::Window), QColor(255, 255, 255));
    QCOMPARE(Register(bench.sim().Last("regs "), 13), QString("0"));
    QCOMPARE(bench.Exchange(w->Command3), kGood);
    const QString stopped = w->Text14->text();
    QCOMPARE(bench.Exchange(w->Command3), kGood);
    QCOMPARE(w->Text14->text(), stopped);
    QCOMPARE(w->Command5->text(), QString("OFF"));
    QCOMPARE(bench.messages, QStringList());
}

void TstWindowE2e::addressChange()
{
    Bench bench;
    QVERIFY(bench.Start());
    MainWindow &w = *bench.window;
    QVERIFY(bench.Open());

    // The broadcast is not answered.
    w.Combo_Addr[0]->setEditText("7");
    QCOMPARE(bench.Exchange(w.Command_OK1), kBad);
    QTRY_COMPARE(bench.sim().Last("state "), QString("state slave 7"));
    QCOMPARE(w.Text2->toPlainText(), QString());

    w.Combo_Addr[2]->setEditText("7");
    QCOMPARE(bench.Exchange(w.Command3), kGood);
    QVERIFY(w.Text2->toPlainText().startsWith("07 03 20 "));
    QCOMPARE(Shown(w), kModuleStart);

    // The old address gets no answer, and the new one still does after it.
    w.Combo_Addr[2]->setEditText("1");
    QCOMPARE(bench.Exchange(w.Command3), kBad);
    QCOMPARE(w.Text2->toPlainText(), QString());
    QTRY_COMPARE(bench.sim().Last("other "), QString("other 01 03 00 00 00 10 44 06"));
    w.Combo_Addr[2]->setEditText("7");
    QCOMPARE(bench.Exchange(w.Command3), kGood);
    QCOMPARE(bench.messages, QStringList());
}

void TstWindowE2e::faultyReplies_data()
{
    QTest::addColumn<QByteArray>("faults");
    QTest::addColumn<bool>("answers");
    QTest::newRow("silence") << QByteArray("silent") << false;
    QTest::newRow("wrong slave") << QByteArray("as-slave 2") << true;
    QTest::newRow("reply after the check") << QByteArray("delay 400") << true;
    QTest::newRow("corrupted CRC") << QByteArray("bad-crc") << true;
    QTest::newRow("exception reply") << QByteArray("exception") << true;
    QTest::newRow("garbage") << QByteArray("garbage") << true;
}

void TstWindowE2e::faultyReplies()
{
    QFETCH(QByteArray, faults);
    QFETCH(bool, answers);
    Bench bench;
    QVERIFY(bench.Start());
    MainWindow &w = *bench.window;
    QVERIFY(bench.Open());

    // Texts that no reply of the module holds, so that any decoding would show.
    for (QLineEdit *box : ValueBoxes(w))
        box->setText("99");
    w.Combo6->setEditText("57600");
    const QStringList before = Shown(w);

    QVERIFY(bench.SetFaults(faults.constData()));
    const int replies = bench.sim().Count("rep ");
    QCOMPARE(bench.Exchange(w.Command3), kBad);
    QCOMPARE(w.Text1[0]->toPlainText(), QString("01 03 00 00 00 10 44 06 "));
    if (answers) {
        // The bytes did arrive (a late reply after the check) and were refused.
        QTRY_COMPARE_WITH_TIMEOUT(bench.sim().Count("rep "), replies + 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(w.ReceiveBuffer), Hex(bench.sim().Last("rep ")), 10000);
    } else {
        QTRY_COMPARE(bench.sim().Last("fault "), QString("fault silent"));
        QCOMPARE(QString::fromStdString(w.ReceiveBuffer), QString());
    }
    QCOMPARE(w.Message_Show->toPlainText(), kBad);
    QCOMPARE(w.Text2->toPlainText(), QString());
    QCOMPARE(Shown(w), before);

    // The next good exchange works.
    QVERIFY(bench.SetFaults("none"));
    QCOMPARE(bench.Exchange(w.Command3), kGood);
    QCOMPARE(Shown(w), kModuleStart);
    QCOMPARE(bench.messages, QStringList());
}

void TstWindowE2e::deviceVanishes()
{
    Bench bench;
    QVERIFY(bench.Start());
    MainWindow &w = *bench.window;
    QVERIFY(bench.Open());
    QCOMPARE(bench.Exchange(w.Command3), kGood);

    // The line goes while a request waits for its reply.
    QVERIFY(bench.SetFaults("silent"));
    w.Command3->click();
    QVERIFY(w.Timer1->isActive());
    bench.StopLine();
    QTRY_COMPARE_WITH_TIMEOUT(w.Command1->text(), kClosedCaption, 10000);
    QCOMPARE(w.Shape1->Color(), QColor(0, 0, 0));
    QVERIFY(!bench.port.IsOpen());
    QTRY_COMPARE_WITH_TIMEOUT(w.Message_Show->toPlainText(), kBad, 10000);
    QVERIFY(bench.sim().WaitForEnd(10000));  // the module lost its line too
    QCOMPARE(bench.messages, QStringList{U("串口不存在！")});  // why the lamp went black
    bench.messages.clear();

    // Gone: the port does not open, and requests are refused.
    w.Command1->click();
    QCOMPARE(bench.messages, QStringList{U("串口不存在！")});
    QCOMPARE(w.Command1->text(), kClosedCaption);
    bench.messages.clear();
    w.Command3->click();
    QCOMPARE(bench.messages, QStringList{U("请先打开串口！")});
    bench.messages.clear();

    // Plugged back in, with the module restarted: the same window opens and reads again.
    QVERIFY(bench.StartLine());
    QVERIFY(bench.SetFaults("none"));
    QVERIFY(bench.StartSim());
    QVERIFY(bench.Open());
    QCOMPARE(bench.Exchange(w.Command3), kGood);
    QCOMPARE(Shown(w), kModuleStart);
}

void TstWindowE2e::bytesOnTheWire()
{
    Bench bench;
    QVERIFY(bench.Start());
    MainWindow &w = *bench.window;
    QVERIFY(bench.Open());

    QCOMPARE(bench.Exchange(w.Command3), kGood);
    QCOMPARE(w.Text1[0]->toPlainText(), QString("01 03 00 00 00 10 44 06 "));

    QCOMPARE(bench.Exchange(w.Command5), kGood);
    QCOMPARE(w.Text1[0]->toPlainText(), QString("01 06 00 0D 00 01 D9 C9 "));
    QCOMPARE(w.Text2->toPlainText(), QString("01 06 00 0D 00 01 D9 C9 "));  // the echo
    QCOMPARE(bench.Exchange(w.Command5), kGood);
    QCOMPARE(w.Text1[0]->toPlainText(), QString("01 06 00 0D 00 00 18 09 "));

    const char *const allEmptyWrite = "01 10 00 00 00 0D 1A 00 64 00 00 03 E8 01 F4 00 00 00 0A 00 0A 00 32 "
                                      "00 C8 01 90 00 32 00 01 00 01 62 11";
    for (QLineEdit *box : ValueBoxes(w))
        box->clear();
    QCOMPARE(w.Combo6->currentText(), QString("9600"));
    QCOMPARE(bench.Exchange(w.Command2), kGood);
    QCOMPARE(w.Text1[0]->toPlainText(), QString(allEmptyWrite) + ' ');

    w.Combo_Addr[0]->setEditText("5");
    QCOMPARE(bench.Exchange(w.Command_OK1), kBad);
    QCOMPARE(w.Text1[0]->toPlainText(), QString("00 06 00 00 00 05 48 18 "));
    QTRY_COMPARE(bench.sim().Last("state "), QString("state slave 5"));

    // Exactly these requests reached the module, each once and nothing else.
    QStringList wire;
    for (const QString &line : bench.sim().Lines())
        if (line.startsWith("req ") || line.startsWith("broadcast ") || line.startsWith("other ")
            || line.startsWith("drop "))
            wire << line;
    QCOMPARE(wire, (QStringList{"req 01 03 00 00 00 10 44 06", "req 01 06 00 0D 00 01 D9 C9",
                                "req 01 06 00 0D 00 00 18 09", QString("req ") + allEmptyWrite,
                                "broadcast 00 06 00 00 00 05 48 18"}));
    QCOMPARE(bench.messages, QStringList());
}

void TstWindowE2e::closingSavesPortAndBaud()
{
    Bench bench(3);
    QVERIFY(bench.Start({"--baud", "19200"}));
    MainWindow &w = *bench.window;
    const int rate19200 = w.Combo2->findText("19200");
    w.Combo2->setCurrentIndex(rate19200);
    emit w.Combo2->activated(rate19200);
    QVERIFY(bench.Open());
    QCOMPARE(w.PortSettings, QString("19200,N,8,1"));
    QCOMPARE(bench.Exchange(w.Command3), kGood);
    QCOMPARE(w.Combo6->currentText(), QString("19200"));  // the module's own rate

    QVERIFY(w.close());
    QCOMPARE(ReadFile("com.txt"), QByteArray("3\r\n19200\r\n"));
}

QTEST_MAIN(TstWindowE2e)
#include "tst_window_e2e.moc"
