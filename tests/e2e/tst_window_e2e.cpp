// The window and the real port layer against the module simulator on a socat pty pair:
// what the user sees, what goes on the wire and what the module ends up holding.

#include "app/main_window.h"
#include "support/window_parts.h"
#include "serial/qt_serial_port.h"
#include "support/module_frames.h"
#include "support/module_values.h"
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

// What a decoded read can change: the value boxes, the module baud list and the output switch.
QStringList Shown(const MainWindow &w)
{
    QStringList shown;
    for (const QLineEdit *box : ValueBoxes(w))
        shown << box->text();
    return shown << List(w, "moduleBaudList")->currentText() << Button(w, "outputButton")->text();
}

// The module at start as Shown() gives it after a read.
QStringList StartShown(const MainWindow &w)
{
    const device::Parameter &rate = *device::FindParameter("module_baud");
    return ShownAfterRead(w, kModuleStart) << QString::fromStdString(device::ShownValue(rate, kModuleStart)) << "OFF";
}

// The parameter block as the fields and the module baud list show it, as register values.
QStringList BlockFromFields(const MainWindow &w)
{
    device::Registers registers{};
    for (const device::Parameter &p : device::kParameters) {
        if (p.written != device::Written::InBlock)
            continue;
        const QString text = p.coding == device::Coding::RateCode ? List(w, "moduleBaudList")->currentText()
                                                                  : Box(w, qPrintable(RowName(p.key) + "Box"))->text();
        device::ApplyValue(p, text.toStdString(), registers, device::Bounds::Registers);
    }
    QStringList block;
    for (int r = device::kParameterBlockFirst; r < device::kParameterBlockFirst + device::kParameterBlockCount; ++r)
        block << QString::number(registers[static_cast<std::size_t>(r)]);
    return block;
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
    // The adapter is pulled: the pty pair goes away. Its link is pointed at a name that stays
    // free, since another program may be given the same /dev/pts number at once.
    void StopLine()
    {
        m_line.reset();
        const QString link = m_dir.filePath(QStringLiteral("COM%1").arg(m_portNumber));
        QFile::remove(link);
        QFile::link(m_dir.filePath(QStringLiteral("unplugged")), link);
    }

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
        if (List(*window, "portList")->currentIndex() != index) {
            List(*window, "portList")->setCurrentIndex(index);
            emit List(*window, "portList")->activated(index);
        }
        Button(*window, "portButton")->click();
        return Button(*window, "portButton")->text() == kOpenCaption && port.IsOpen() && messages.isEmpty();
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
        if (!QTest::qWaitFor([this] { return !ReplyDue(*window); }, 10000))
            return QStringLiteral("<no reply check>");
        return Part<QPlainTextEdit>(*window, "statusBox")->toPlainText();
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
    List(w, "moduleBaudList")->setEditText(QString());
    QCOMPARE(bench.Exchange(Button(w, "readButton")), kGood);
    QCOMPARE(Shown(w), StartShown(w));
    QTRY_COMPARE(Part<QPlainTextEdit>(w, "receivedBox")->toPlainText(), Hex(bench.sim().Last("rep ")));

    // A write of chosen values, one beyond its bound: the module holds what the fields show.
    Box(w, "pwmVoltageBox")->setText("12.5");
    Box(w, "pwmFrequencyBox")->setText("123456");
    Box(w, "pwmDutyBox")->setText("33.3");
    Box(w, "pulseDelayBox")->setText("1.5");
    Box(w, "pulseHighBox")->setText("0.25");
    Box(w, "pulseLowBox")->setText("2");
    Box(w, "pulseNumberBox")->setText("777");
    Box(w, "voltageSourceBox")->setText("7.5");
    Box(w, "currentSourceBox")->setText("25");
    Box(w, "workModeBox")->setText("3");
    Box(w, "sineFrequencyBox")->setText("999");
    List(w, "moduleBaudList")->setEditText("38400");
    QCOMPARE(bench.Exchange(Button(w, "writeButton")), kGood);
    const QStringList written = Shown(w);
    QCOMPARE(written, (QStringList{"12.5", "123456", "33.3", "1.500", "0.250", "2.000", "777", "7.50", "20.00",
                                   "3", "999", "0", "38400", "OFF"}));
    const QString regs = bench.sim().Last("regs ");
    QCOMPARE(regs.split(' ').mid(1 + device::kParameterBlockFirst, device::kParameterBlockCount), BlockFromFields(w));
    QCOMPARE(Register(regs, device::OutputState), QString("0"));  // the output switch is no part of the block
    QTRY_COMPARE(Part<QPlainTextEdit>(w, "receivedBox")->toPlainText(), Hex(bench.sim().Last("rep ")));

    // Other texts in the fields; a read brings back what was written.
    for (QLineEdit *box : ValueBoxes(w))
        box->setText("0");
    List(w, "moduleBaudList")->setEditText("4800");
    QCOMPARE(bench.Exchange(Button(w, "readButton")), kGood);
    QCOMPARE(Shown(w), written);
    QCOMPARE(bench.messages, QStringList());
}

void TstWindowE2e::outputSwitchAndPulseCounter()
{
    Bench bench;
    QVERIFY(bench.Start());
    QVERIFY(bench.Open());
    MainWindow *w = bench.window.get();

    QCOMPARE(bench.Exchange(Button(*w, "outputButton")), kGood);
    QCOMPARE(Button(*w, "outputButton")->text(), QString("ON"));
    QCOMPARE(Register(bench.sim().Last("regs "), device::OutputState), QString("1"));

    // With the output on, the module counts pulses between two reads.
    QCOMPARE(bench.Exchange(Button(*w, "readButton")), kGood);
    const int first = Box(*w, "pulseCountBox")->text().toInt();
    QCOMPARE(bench.Exchange(Button(*w, "readButton")), kGood);
    QVERIFY2(Box(*w, "pulseCountBox")->text().toInt() > first,
             qPrintable(QString("pulse count %1, then %2").arg(first).arg(Box(*w, "pulseCountBox")->text())));

    // A restarted tool shows OFF until it reads the module's state back.
    bench.port.Close();
    bench.MakeWindow();
    w = bench.window.get();
    QCOMPARE(Button(*w, "outputButton")->text(), QString("OFF"));
    QVERIFY(bench.Open());
    QCOMPARE(bench.Exchange(Button(*w, "readButton")), kGood);
    QCOMPARE(Button(*w, "outputButton")->text(), QString("ON"));
    QCOMPARE(Part<QLabel>(*w, "outputFrame")->palette().color(QPalette::Window), QColor(0, 255, 0));

    // Switched off, the register is 0 and the count stands still.
    QCOMPARE(bench.Exchange(Button(*w, "outputButton")), kGood);
    QCOMPARE(Button(*w, "outputButton")->text(), QString("OFF"));
    QCOMPARE(Part<QLabel>(*w, "outputFrame")->palette().color(QPalette::Window), QColor(255, 255, 255));
    QCOMPARE(Register(bench.sim().Last("regs "), device::OutputState), QString("0"));
    QCOMPARE(bench.Exchange(Button(*w, "readButton")), kGood);
    const QString stopped = Box(*w, "pulseCountBox")->text();
    QCOMPARE(bench.Exchange(Button(*w, "readButton")), kGood);
    QCOMPARE(Box(*w, "pulseCountBox")->text(), stopped);
    QCOMPARE(Button(*w, "outputButton")->text(), QString("OFF"));
    QCOMPARE(bench.messages, QStringList());
}

void TstWindowE2e::addressChange()
{
    Bench bench;
    QVERIFY(bench.Start());
    MainWindow &w = *bench.window;
    QVERIFY(bench.Open());

    // The broadcast is not answered.
    List(w, "newAddressList")->setEditText("7");
    QCOMPARE(bench.Exchange(Button(w, "changeAddressButton")), kBad);
    QTRY_COMPARE(bench.sim().Last("state "), QString("state slave 7"));
    QCOMPARE(Part<QPlainTextEdit>(w, "receivedBox")->toPlainText(), QString());

    List(w, "slaveList")->setEditText("7");
    QCOMPARE(bench.Exchange(Button(w, "readButton")), kGood);
    QVERIFY(Part<QPlainTextEdit>(w, "receivedBox")->toPlainText().startsWith(ReadReplyHeadText(7)));
    QCOMPARE(Shown(w), StartShown(w));

    // The old address gets no answer, and the new one still does after it.
    List(w, "slaveList")->setEditText("1");
    QCOMPARE(bench.Exchange(Button(w, "readButton")), kBad);
    QCOMPARE(Part<QPlainTextEdit>(w, "receivedBox")->toPlainText(), QString());
    QTRY_COMPARE(bench.sim().Last("other "), "other " + ReadRequestText());
    List(w, "slaveList")->setEditText("7");
    QCOMPARE(bench.Exchange(Button(w, "readButton")), kGood);
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
    List(w, "moduleBaudList")->setEditText("57600");
    const QStringList before = Shown(w);

    QVERIFY(bench.SetFaults(faults.constData()));
    const int replies = bench.sim().Count("rep ");
    QCOMPARE(bench.Exchange(Button(w, "readButton")), kBad);
    QCOMPARE(Part<QPlainTextEdit>(w, "sentBox")->toPlainText(), ReadRequestText() + ' ');
    if (answers) {
        // The bytes did arrive (a late reply after the check) and were refused.
        QTRY_COMPARE_WITH_TIMEOUT(bench.sim().Count("rep "), replies + 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(Exchange(w)->ReceivedHex()), Hex(bench.sim().Last("rep ")), 10000);
    } else {
        QTRY_COMPARE(bench.sim().Last("fault "), QString("fault silent"));
        QCOMPARE(QString::fromStdString(Exchange(w)->ReceivedHex()), QString());
    }
    QCOMPARE(Part<QPlainTextEdit>(w, "statusBox")->toPlainText(), kBad);
    QCOMPARE(Part<QPlainTextEdit>(w, "receivedBox")->toPlainText(), QString());
    QCOMPARE(Shown(w), before);

    // The next good exchange works.
    QVERIFY(bench.SetFaults("none"));
    QCOMPARE(bench.Exchange(Button(w, "readButton")), kGood);
    QCOMPARE(Shown(w), StartShown(w));
    QCOMPARE(bench.messages, QStringList());
}

void TstWindowE2e::deviceVanishes()
{
    Bench bench;
    QVERIFY(bench.Start());
    MainWindow &w = *bench.window;
    QVERIFY(bench.Open());
    QCOMPARE(bench.Exchange(Button(w, "readButton")), kGood);

    // The line goes while a request waits for its reply.
    QVERIFY(bench.SetFaults("silent"));
    Button(w, "readButton")->click();
    QVERIFY(ReplyDue(w));
    bench.StopLine();
    QTRY_COMPARE_WITH_TIMEOUT(Button(w, "portButton")->text(), kClosedCaption, 10000);
    QCOMPARE(PortLamp(w)->Color(), QColor(0, 0, 0));
    QVERIFY(!bench.port.IsOpen());
    QTRY_COMPARE_WITH_TIMEOUT(Part<QPlainTextEdit>(w, "statusBox")->toPlainText(), kBad, 10000);
    QVERIFY(bench.sim().WaitForEnd(10000));  // the module lost its line too
    QCOMPARE(bench.messages, QStringList{U("串口不存在！")});  // why the lamp went black
    bench.messages.clear();

    // Gone: the port does not open, and requests are refused.
    Button(w, "portButton")->click();
    QCOMPARE(bench.messages, QStringList{U("串口不存在！")});
    QCOMPARE(Button(w, "portButton")->text(), kClosedCaption);
    bench.messages.clear();
    Button(w, "readButton")->click();
    QCOMPARE(bench.messages, QStringList{U("请先打开串口！")});
    bench.messages.clear();

    // Plugged back in, with the module restarted: the same window opens and reads again.
    QVERIFY(bench.StartLine());
    QVERIFY(bench.SetFaults("none"));
    QVERIFY(bench.StartSim());
    QVERIFY(bench.Open());
    QCOMPARE(bench.Exchange(Button(w, "readButton")), kGood);
    QCOMPARE(Shown(w), StartShown(w));
}

void TstWindowE2e::bytesOnTheWire()
{
    PINS_KNOWN_GOOD();
    Bench bench;
    QVERIFY(bench.Start());
    MainWindow &w = *bench.window;
    QVERIFY(bench.Open());

    QCOMPARE(bench.Exchange(Button(w, "readButton")), kGood);
    QCOMPARE(Part<QPlainTextEdit>(w, "sentBox")->toPlainText(), ReadRequestText() + ' ');

    QCOMPARE(bench.Exchange(Button(w, "outputButton")), kGood);
    QCOMPARE(Part<QPlainTextEdit>(w, "sentBox")->toPlainText(), QString("01 06 00 0D 00 01 D9 C9 "));
    QCOMPARE(Part<QPlainTextEdit>(w, "receivedBox")->toPlainText(), QString("01 06 00 0D 00 01 D9 C9 "));  // the echo
    QCOMPARE(bench.Exchange(Button(w, "outputButton")), kGood);
    QCOMPARE(Part<QPlainTextEdit>(w, "sentBox")->toPlainText(), QString("01 06 00 0D 00 00 18 09 "));

    const char *const allEmptyWrite = "01 10 00 00 00 0D 1A 00 64 00 00 03 E8 01 F4 00 00 00 0A 00 0A 00 32 "
                                      "00 C8 01 90 00 32 00 01 00 01 62 11";
    for (QLineEdit *box : ValueBoxes(w))
        box->clear();
    QCOMPARE(List(w, "moduleBaudList")->currentText(), QString("9600"));
    QCOMPARE(bench.Exchange(Button(w, "writeButton")), kGood);
    QCOMPARE(Part<QPlainTextEdit>(w, "sentBox")->toPlainText(), QString(allEmptyWrite) + ' ');

    List(w, "newAddressList")->setEditText("5");
    QCOMPARE(bench.Exchange(Button(w, "changeAddressButton")), kBad);
    QCOMPARE(Part<QPlainTextEdit>(w, "sentBox")->toPlainText(), QString("00 06 00 00 00 05 48 18 "));
    QTRY_COMPARE(bench.sim().Last("state "), QString("state slave 5"));

    // Exactly these requests reached the module, each once and nothing else.
    QStringList wire;
    for (const QString &line : bench.sim().Lines())
        if (line.startsWith("req ") || line.startsWith("broadcast ") || line.startsWith("other ")
            || line.startsWith("drop "))
            wire << line;
    QCOMPARE(wire, (QStringList{"req " + ReadRequestText(), "req 01 06 00 0D 00 01 D9 C9",
                                "req 01 06 00 0D 00 00 18 09", QString("req ") + allEmptyWrite,
                                "broadcast 00 06 00 00 00 05 48 18"}));
    QCOMPARE(bench.messages, QStringList());
}

void TstWindowE2e::closingSavesPortAndBaud()
{
    Bench bench(3);
    QVERIFY(bench.Start({"--baud", "19200"}));
    MainWindow &w = *bench.window;
    const int rate19200 = List(w, "baudList")->findText("19200");
    List(w, "baudList")->setCurrentIndex(rate19200);
    emit List(w, "baudList")->activated(rate19200);
    QVERIFY(bench.Open());
    QCOMPARE(bench.Exchange(Button(w, "readButton")), kGood);
    QCOMPARE(List(w, "moduleBaudList")->currentText(), QString("19200"));  // the module's own rate

    QVERIFY(w.close());
    QCOMPARE(ReadFile("com.txt"), QByteArray("3\r\n19200\r\n"));
}

QTEST_MAIN(TstWindowE2e)
#include "tst_window_e2e.moc"
