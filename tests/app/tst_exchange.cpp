// One request and its reply through the window on a fake port: what goes out, what the
// receive events collect, and what the timed reply check makes of it.
#include "support/exchange_window.h"

#include <QThread>
#include <QtTest>


namespace {

// `bytes` cut at the given offsets.
Pieces Split(const std::vector<uint8_t> &bytes, std::initializer_list<std::size_t> cuts)
{
    Pieces pieces;
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        pieces.emplace_back(bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(cut));
        from = cut;
    }
    pieces.emplace_back(bytes.begin() + static_cast<long>(from), bytes.end());
    return pieces;
}

void Press(MainWindow &w, const QString &button)
{
    Click(w, button.toLatin1().constData());
}

} // namespace

class TstExchange : public QObject {
    Q_OBJECT
private slots:
    void replyCheck_data();
    void replyCheck();
    void receiveEvents_data();
    void receiveEvents();
    void lateReply_data();
    void lateReply();
    void portClosed_data();
    void portClosed();
    void slaveAddress_data();
    void slaveAddress();
    void pauseBetweenWriteAndCheck_data();
    void pauseBetweenWriteAndCheck();
    void whatComesDuringThePauseWaits();
    void refusedWrite();
    void secondRequestKeepsTick();
};

void TstExchange::replyCheck_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<Pieces>("reply");
    QTest::addColumn<bool>("good");
    QTest::addColumn<QString>("text3");  // decoded only from a good read reply

    const auto full = ReadReply(kExample);
    auto badCrc = full;
    badCrc.back() ^= 0xFF;
    auto extra = full;
    extra.push_back(0x00);
    const std::vector<uint8_t> oneShort(full.begin(), full.end() - 1);
    // The same 37 bytes with a good CRC; only the function code differs ("01 04", which
    // shares its first four characters with "01 03").
    std::vector<uint8_t> otherFunction(full.begin(), full.end() - 2);
    otherFunction[1] = 0x04;

    QTest::newRow("16 registers") << "readButton" << Pieces{full} << true << "24.0";
    QTest::newRow("in two events") << "readButton" << Split(full, {20}) << true << "24.0";
    QTest::newRow("from slave 2") << "readButton" << Pieces{ReadReply(kExample, 2)} << false << "10.0";
    QTest::newRow("other function") << "readButton" << Pieces{WithCrc(otherFunction)} << false << "10.0";
    QTest::newRow("exception") << "readButton" << Pieces{WithCrc("01 83 02")} << false << "10.0";
    QTest::newRow("bad CRC") << "readButton" << Pieces{badCrc} << false << "10.0";
    QTest::newRow("one byte short") << "readButton" << Pieces{oneShort} << false << "10.0";
    QTest::newRow("one byte too many") << "readButton" << Pieces{extra} << false << "10.0";
    QTest::newRow("no reply") << "readButton" << Pieces{} << false << "10.0";
    // judged by header and length, not by what was asked
    QTest::newRow("8 bytes to a read") << "readButton" << Pieces{WithCrc("01 03 00 00 00 10")} << true << "10.0";
    QTest::newRow("write echo") << "outputButton" << Pieces{WithCrc("01 06 00 0D 00 01")} << true << "10.0";
    QTest::newRow("echo as 3, 4, 1") << "outputButton" << Split(WithCrc("01 06 00 0D 00 01"), {3, 7}) << true
                                     << "10.0";
    QTest::newRow("address change echo") << "changeAddressButton" << Pieces{WithCrc("00 06 00 00 00 01")} << true
                                         << "10.0";
}

void TstExchange::replyCheck()
{
    QFETCH(QString, handler);
    QFETCH(Pieces, reply);
    QFETCH(bool, good);
    QFETCH(QString, text3);

    ExchangeWindow w;
    Press(*w.window, handler);
    const QString request = Part<QPlainTextEdit>(*w, "sentBox")->toPlainText();
    QCOMPARE(w.Written(), QStringList{request});
    QVERIFY(ReplyTimer(*w)->isActive());

    w.Feed(reply);
    FireReplyTimer(*w);
    QString received;
    for (const auto &piece : reply)
        received += Hex(piece);
    QCOMPARE(w.Status(), U8(good ? texts::kReplyGood : texts::kReplyBad));
    QCOMPARE(Part<QPlainTextEdit>(*w, "receivedBox")->toPlainText(), good ? received : QString());
    QCOMPARE(Part<QPlainTextEdit>(*w, "sentBox")->toPlainText(), request);
    QCOMPARE(Box(*w, "pwmVoltageBox")->text(), text3);
    QVERIFY(!ReplyTimer(*w)->isActive());
}

void TstExchange::receiveEvents_data()
{
    QTest::addColumn<Pieces>("events");
    QTest::addColumn<QString>("collected");
    QTest::newRow("00 0F FF") << Pieces{Bytes("00 0F FF")} << "00 0F FF ";
    QTest::newRow("3, 4 and 1 bytes") << Split(Bytes("01 06 00 0D 00 01 D9 C9"), {3, 7})
                                      << "01 06 00 0D 00 01 D9 C9 ";
    QTest::newRow("nothing waiting") << Pieces{{}} << "";
    // Anything over 111 characters is bad anyway: a flooding line stops adding at 3072.
    QTest::newRow("flood") << Pieces(5000, {0x55}) << QString("55 ").repeated(1024);
}

void TstExchange::receiveEvents()
{
    QFETCH(Pieces, events);
    QFETCH(QString, collected);
    ExchangeWindow w;
    Click(*w, "readButton");
    w.Feed(events);
    QCOMPARE(QString::fromStdString(Exchange(*w)->ReceivedHex()), collected);
}

void TstExchange::lateReply_data()
{
    QTest::addColumn<int>("beforeTick");  // bytes of the reply that arrive in time
    QTest::newRow("all late") << 0;
    QTest::newRow("completed after the tick") << 20;
}

void TstExchange::lateReply()
{
    QFETCH(int, beforeTick);
    const auto reply = ReadReply(kExample);
    ExchangeWindow w;
    Click(*w, "readButton");
    w.port.Feed({reply.begin(), reply.begin() + beforeTick});
    FireReplyTimer(*w);
    w.port.Feed({reply.begin() + beforeTick, reply.end()});

    QCOMPARE(w.Status(), U8(texts::kReplyBad));
    QCOMPARE(QString::fromStdString(Exchange(*w)->ReceivedHex()), Hex(reply));
    QCOMPARE(Part<QPlainTextEdit>(*w, "receivedBox")->toPlainText(), QString());
    QCOMPARE(Box(*w, "pwmVoltageBox")->text(), "10.0");

    Click(*w, "readButton");
    QCOMPARE(QString::fromStdString(Exchange(*w)->ReceivedHex()), QString());
}

void TstExchange::portClosed_data()
{
    QTest::addColumn<QString>("handler");
    for (const char *handler : {"changeAddressButton", "writeButton", "readButton", "outputButton"})
        QTest::newRow(handler) << handler;
}

void TstExchange::portClosed()
{
    QFETCH(QString, handler);
    ExchangeWindow w(false);
    Part<QPlainTextEdit>(*w, "statusBox")->setPlainText("old");
    Part<QPlainTextEdit>(*w, "sentBox")->setPlainText("old");
    Part<QPlainTextEdit>(*w, "receivedBox")->setPlainText("old");
    w.port.Feed(Bytes("AA"));

    Press(*w.window, handler);
    QCOMPARE(w.messages, QStringList{U8(texts::kOpenPortFirst)});
    QCOMPARE(w.Status(), QString());
    QCOMPARE(Part<QPlainTextEdit>(*w, "sentBox")->toPlainText(), QString());
    QCOMPARE(Part<QPlainTextEdit>(*w, "receivedBox")->toPlainText(), QString());
    QVERIFY(Exchange(*w)->SentHex().empty() && Exchange(*w)->ReceivedHex().empty());
    QVERIFY(w.port.writes.empty());
    QVERIFY(w.pauses.empty());
    QVERIFY(!ReplyTimer(*w)->isActive());
}

void TstExchange::slaveAddress_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<QString>("address");  // the text of the slave list
    QTest::addColumn<int>("sent");         // byte 0 of the request; -1: refused
    QTest::newRow("0") << "readButton" << "0" << 0;
    QTest::newRow("255") << "readButton" << "255" << 255;
    QTest::newRow("blanks around") << "readButton" << " 7 " << 7;
    QTest::newRow("empty") << "readButton" << "" << -1;
    QTest::newRow("256") << "readButton" << "256" << -1;
    QTest::newRow("hex") << "readButton" << "0x1" << -1;
    QTest::newRow("write, empty") << "writeButton" << "" << -1;
    QTest::newRow("write, 9") << "writeButton" << "9" << 9;
    QTest::newRow("switch, empty") << "outputButton" << "" << -1;
    QTest::newRow("switch, 254") << "outputButton" << "254" << 254;
}

void TstExchange::slaveAddress()
{
    QFETCH(QString, handler);
    QFETCH(QString, address);
    QFETCH(int, sent);
    ExchangeWindow w;
    List(*w, "slaveList")->setEditText(address);
    Press(*w.window, handler);
    if (sent < 0) {
        QCOMPARE(w.messages, QStringList{U8(texts::kParameterError)});
        QVERIFY(w.port.writes.empty());
        QCOMPARE(Part<QPlainTextEdit>(*w, "sentBox")->toPlainText(), QString());
        QVERIFY(!ReplyTimer(*w)->isActive());
    } else {
        QCOMPARE(w.messages, QStringList());
        QCOMPARE(w.port.writes.size(), 1u);
        QCOMPARE(int(w.port.writes[0][0]), sent);
    }
}

void TstExchange::pauseBetweenWriteAndCheck_data()
{
    QTest::addColumn<QString>("handler");
    for (const char *handler : {"changeAddressButton", "writeButton", "readButton", "outputButton"})
        QTest::newRow(handler) << handler;
}

void TstExchange::pauseBetweenWriteAndCheck()
{
    QFETCH(QString, handler);
    ExchangeWindow w;
    Press(*w.window, handler);
    QCOMPARE(w.port.writes.size(), 1u);
    QVERIFY(ReplyTimer(*w)->isActive());
    QCOMPARE(w.pauses.size(), 1u);
    QCOMPARE(w.pauses[0].ms, 100);
    QCOMPARE(w.pauses[0].writesBefore, 1u);
    QVERIFY(!w.pauses[0].replyCheckRunning);
}

// The pause holds no thread: what comes meanwhile (bytes, a click) waits for its end and
// then runs in the order it came, so one exchange is in flight at a time.
void TstExchange::whatComesDuringThePauseWaits()
{
    ExchangeWindow w;
    w.holdPauses = true;
    Press(*w.window, "readButton");
    QVERIFY(Exchange(*w)->Pausing());
    QVERIFY(!ReplyTimer(*w)->isActive());
    w.port.Feed(Bytes("01 03"));
    Press(*w.window, "outputButton");
    QCOMPARE(w.port.writes.size(), 1u);
    QCOMPARE(Button(*w, "outputButton")->text(), "OFF");
    QCOMPARE(QString::fromStdString(Exchange(*w)->ReceivedHex()), QString());

    // The reply timer starts, the bytes are read, then the switch empties them and sends.
    w.ReleasePause();
    QCOMPARE(w.Written(), (QStringList{"01 03 00 00 00 10 44 06 ", "01 06 00 0D 00 01 D9 C9 "}));
    QCOMPARE(Button(*w, "outputButton")->text(), "ON");
    QCOMPARE(QString::fromStdString(Exchange(*w)->ReceivedHex()), QString());
    QCOMPARE(w.pauses.size(), 2u);
    QVERIFY(w.pauses[1].replyCheckRunning);
    w.ReleasePause();
    QVERIFY(!Exchange(*w)->Pausing());
}

void TstExchange::refusedWrite()
{
    ExchangeWindow w;
    w.port.refuseWrites = true;
    Click(*w, "readButton");
    QVERIFY(w.port.writes.empty());
    QCOMPARE(Part<QPlainTextEdit>(*w, "sentBox")->toPlainText(), "01 03 00 00 00 10 44 06 ");
    FireReplyTimer(*w);
    QCOMPARE(w.Status(), U8(texts::kReplyBad));
    QVERIFY(!ReplyTimer(*w)->isActive());
}

void TstExchange::secondRequestKeepsTick()
{
    ExchangeWindow w;
    Click(*w, "readButton");
    const int first = ReplyTimer(*w)->remainingTime();

    // The second request's pause lasts 100 ms, so a reply timer that kept its schedule has
    // at least that much less to go when it ends; a restarted one would have its whole
    // interval again.
    w.holdPauses = true;
    Click(*w, "readButton");
    QThread::msleep(100);  // the pause's 100 ms, with no event handled meanwhile
    w.ReleasePause();
    const int second = ReplyTimer(*w)->remainingTime();
    QVERIFY2(second <= first - 90, qPrintable(QString("%1 then %2 ms to go").arg(first).arg(second)));

    // The tick that follows judges what arrived for the second request.
    w.port.Feed(ReadReply(kExample));
    QTRY_COMPARE(w.Status(), U8(texts::kReplyGood));
    QVERIFY(!ReplyTimer(*w)->isActive());
}

QTEST_MAIN(TstExchange)
#include "tst_exchange.moc"
