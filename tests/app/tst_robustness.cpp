#include "device/parameters.h"
#include "support/exchange_window.h"
#include "support/module_frames.h"

#include <QtTest>

// Bad input from the user, the settings file and the line: no crash, no hang, nothing
// wrong sent or shown, and the window works afterwards.
class TstRobustness : public QObject {
    Q_OBJECT
private:
    // A good read afterwards proves the window still works.
    static void ReadStillWorks(ExchangeWindow &w)
    {
        if (!w->PortIsOpen())
            Click(*w, "portButton");
        Click(*w, "readButton");
        w.port.Feed(ReadReply(kExample));
        FireReplyTimer(*w);
        QCOMPARE(w.Status(), U8(texts::kReplyGood));
        QCOMPARE(Box(*w, "pwmVoltageBox")->text(), "24.0");
        QCOMPARE(Box(*w, "pulseCountBox")->text(), "7");
    }

private slots:
    void fieldTexts_data();
    void fieldTexts();
    void pastedTextInEveryBox();
    void addressListsInEveryOperation_data();
    void addressListsInEveryOperation();
    void hugeSettingsLine();
    void settingsFileCannotBeWritten();
    void floodOfBytes();
    void replyInSingleBytes();
    void devicePulledMidExchange();
    void devicePulledDuringPause();
};

void TstRobustness::fieldTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    // which texts are numbers: tst_parameters::numbers
    QTest::newRow("empty") << "" << "50";
    QTest::newRow("letters") << "abc" << "50";
    QTest::newRow("blanks around") << "  7 " << "7";
    QTest::newRow("huge") << "99999999999999999999" << "60000";
    QTest::newRow("huge negative") << "-99999999999999999999.5" << "0";
}

void TstRobustness::fieldTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    ExchangeWindow w;
    Box(*w, "pulseNumberBox")->setText(text);
    Click(*w, "writeButton");
    QCOMPARE(Box(*w, "pulseNumberBox")->text(), shown);
    // The pulse number travels in the parameter block's write, exactly as shown.
    QCOMPARE(w.port.writes.size(), std::size_t(1));
    const auto &frame = w.port.writes.front();
    const std::size_t at = 7 + 2 * std::size_t(device::PulseNumber - device::kParameterBlockFirst);
    QCOMPARE(frame.size(), std::size_t(9 + 2 * device::kParameterBlockCount));
    QCOMPARE(QString::number(frame[at] * 256 + frame[at + 1]), shown);
}

void TstRobustness::pastedTextInEveryBox()
{
    ExchangeWindow w;
    const QString huge(10000, QLatin1Char('9'));
    const QString junk = QString(5000, QLatin1Char('x')) + QStringLiteral("\x01\t\xff");
    const auto boxes = ValueBoxes(*w);
    for (std::size_t i = 0; i < boxes.size(); ++i)
        boxes[i]->setText(i % 2 ? junk : huge);
    Click(*w, "writeButton");
    // Numbers clamp to their bound, text that is no number gets its default; the pulse
    // counter is no parameter and keeps what it holds.
    const QStringList shown{"24.0", "1000", "100.0", "0.000", "60.000", "0.010", "60000", "2.00", "20.00", "1", "1005"};
    for (int i = 0; i < shown.size(); ++i)
        QCOMPARE(boxes[i]->text(), shown[i]);
    QCOMPARE(Box(*w, "pulseCountBox")->text(), junk);
    device::Registers sent = kModuleStart;  // the module's rate as at start
    for (const device::Parameter &p : device::kParameters) {
        if (p.coding == device::Coding::Number && device::IsSettable(p))
            device::ApplyValue(p, Box(*w, qPrintable(RowName(p.key) + "Box"))->text().toStdString(), sent);
    }
    QCOMPARE(w.Written(), QStringList{Hex(device::BuildParameterWriteRequest(1, sent))});
    ReadStillWorks(w);
}

void TstRobustness::addressListsInEveryOperation_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("sent");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("letters") << "abc" << false;
    QTest::newRow("256") << "256" << false;
    QTest::newRow("-1") << "-1" << false;
    QTest::newRow("1.5") << "1.5" << false;
    QTest::newRow("blanks around 7") << " 7 " << true;
}

void TstRobustness::addressListsInEveryOperation()
{
    QFETCH(QString, text);
    QFETCH(bool, sent);
    ExchangeWindow w;
    List(*w, "slaveList")->setEditText(text);
    Click(*w, "writeButton");
    Click(*w, "readButton");
    Click(*w, "outputButton");
    if (sent) {
        QCOMPARE(w.port.writes.size(), std::size_t(3));
        for (const auto &frame : w.port.writes)
            QCOMPARE(frame.front(), uint8_t(7));
        QVERIFY(w.messages.isEmpty());
    } else {
        QVERIFY(w.port.writes.empty());
        QCOMPARE(w.messages, QStringList(3, U8(texts::kParameterError)));
    }
    List(*w, "newAddressList")->setEditText(text);
    Click(*w, "changeAddressButton");
    QCOMPARE(w.port.writes.size(), std::size_t(sent ? 4 : 0));
    if (sent)
        QCOMPARE(Hex(w.port.writes.back()), Hex(AddressChangeRequest(7)));
}

void TstRobustness::hugeSettingsLine()
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    {
        QFile file("com.txt");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1024 * 1024, '7'));
        file.write("\r\n9600\r\n");
    }
    {
        FakePort port;
        MainWindow window(port);
        // Only the start of a huge file is read: the list shows no item, and no second line.
        QCOMPARE(List(window, "portList")->currentIndex(), -1);
        QVERIFY(List(window, "portList")->currentText().startsWith("COM777"));
        QCOMPARE(List(window, "baudList")->currentText(), "9600");
        window.close();
    }
    QFile file("com.txt");
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("0\r\n9600\r\n"));
    QDir::setCurrent(previous);
}

void TstRobustness::settingsFileCannotBeWritten()
{
    // com.txt a link into a folder that does not exist: writing fails, the close goes ahead.
    ExchangeWindow w(false);
    QVERIFY(QFile::link("no-such-folder/com.txt", "com.txt"));
    QVERIFY(w->close());
    QVERIFY(!QFileInfo::exists("no-such-folder"));
}

void TstRobustness::floodOfBytes()
{
    ExchangeWindow w;
    Click(*w, "readButton");
    std::vector<uint8_t> chunk(1024);
    for (std::size_t i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<uint8_t>(i * 7);
    for (int i = 0; i < 64; ++i)
        w.port.Feed(chunk);
    QVERIFY(Exchange(*w)->ReceivedHex().size() <= 3 * 1024 + 3 * chunk.size());
    QVERIFY(w.port.waiting.empty());
    FireReplyTimer(*w);
    QCOMPARE(w.Status(), U8(texts::kReplyBad));
    QVERIFY(Part<QPlainTextEdit>(*w, "receivedBox")->toPlainText().isEmpty());
    ReadStillWorks(w);
}

void TstRobustness::replyInSingleBytes()
{
    ExchangeWindow w;
    Click(*w, "readButton");
    const auto reply = ReadReply(kExample);
    for (uint8_t byte : reply)
        w.port.Feed({byte});
    FireReplyTimer(*w);
    QCOMPARE(w.Status(), U8(texts::kReplyGood));
    QCOMPARE(Part<QPlainTextEdit>(*w, "receivedBox")->toPlainText(), Hex(reply));
    QCOMPARE(Box(*w, "pulseCountBox")->text(), "7");
}

void TstRobustness::devicePulledMidExchange()
{
    ExchangeWindow w;
    Click(*w, "readButton");
    w.port.Feed(Bytes("01 03 20 00"));
    w.port.Pull();
    QCOMPARE(Button(*w, "portButton")->text(), U8(texts::kPortClosedCaption));
    FireReplyTimer(*w);
    QCOMPARE(w.Status(), U8(texts::kReplyBad));
    QVERIFY(!ReplyTimer(*w)->isActive());
    ReadStillWorks(w);
}

void TstRobustness::devicePulledDuringPause()
{
    ExchangeWindow w;
    w->m_after = [&w](int, std::function<void()> then) {
        w.port.Pull();
        then();
    };
    Click(*w, "writeButton");
    QCOMPARE(w.port.writes.size(), std::size_t(1));
    QCOMPARE(Button(*w, "portButton")->text(), U8(texts::kPortClosedCaption));
    QVERIFY(ReplyTimer(*w)->isActive());
    FireReplyTimer(*w);
    QCOMPARE(w.Status(), U8(texts::kReplyBad));
    // The pull is reported; sending now is refused before anything goes out.
    Click(*w, "readButton");
    QCOMPARE(w.messages, (QStringList{U8(texts::kPortMissing), U8(texts::kOpenPortFirst)}));
    QCOMPARE(w.port.writes.size(), std::size_t(1));
    w->m_after = [](int, std::function<void()> then) { then(); };
    ReadStillWorks(w);
}

QTEST_MAIN(TstRobustness)
#include "tst_robustness.moc"
