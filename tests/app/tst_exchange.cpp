// One request and its reply through the window on a fake port: what goes out, what the
// receive events collect, and what the timed reply check makes of it.
#include "support/exchange_window.h"

#include <QThread>
#include <QtTest>

#include <map>

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

void Press(MainWindow &w, const QString &handler)
{
    static const std::map<QString, void (MainWindow::*)()> kHandlers{
        {"Command_OK1", &MainWindow::Command_OK1_Click}, {"Command2", &MainWindow::Command2_Click},
        {"Command3", &MainWindow::Command3_Click},       {"Command5", &MainWindow::Command5_Click},
        {"Timer2", &MainWindow::Timer2_Timer},          {"Timer3", &MainWindow::Timer3_Timer}};
    (w.*kHandlers.at(handler))();
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

    QTest::newRow("16 registers") << "Command3" << Pieces{full} << true << "24.0";
    QTest::newRow("in two events") << "Command3" << Split(full, {20}) << true << "24.0";
    QTest::newRow("from slave 2") << "Command3" << Pieces{ReadReply(kExample, 2)} << false << "10.0";
    QTest::newRow("other function") << "Command3" << Pieces{WithCrc(otherFunction)} << false << "10.0";
    QTest::newRow("exception") << "Command3" << Pieces{WithCrc("01 83 02")} << false << "10.0";
    QTest::newRow("bad CRC") << "Command3" << Pieces{badCrc} << false << "10.0";
    QTest::newRow("one byte short") << "Command3" << Pieces{oneShort} << false << "10.0";
    QTest::newRow("one byte too many") << "Command3" << Pieces{extra} << false << "10.0";
    QTest::newRow("no reply") << "Command3" << Pieces{} << false << "10.0";
    // judged by header and length, not by what was asked
    QTest::newRow("8 bytes to a read") << "Command3" << Pieces{WithCrc("01 03 00 00 00 10")} << true << "10.0";
    QTest::newRow("write echo") << "Command5" << Pieces{WithCrc("01 06 00 0D 00 01")} << true << "10.0";
    QTest::newRow("echo as 3, 4, 1") << "Command5" << Split(WithCrc("01 06 00 0D 00 01"), {3, 7}) << true
                                     << "10.0";
    QTest::newRow("address change echo") << "Command_OK1" << Pieces{WithCrc("00 06 00 00 00 01")} << true
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
    const QString request = w->Text1[0]->toPlainText();
    QCOMPARE(w.Written(), QStringList{request});
    QVERIFY(w->Timer1->isActive());

    w.Feed(reply);
    w->Timer1_Timer();
    QString received;
    for (const auto &piece : reply)
        received += Hex(piece);
    QCOMPARE(w.Status(), U8(good ? texts::kReplyGood : texts::kReplyBad));
    QCOMPARE(w->Text2->toPlainText(), good ? received : QString());
    QCOMPARE(w->Text1[0]->toPlainText(), request);
    QCOMPARE(w->Text3->text(), text3);
    QVERIFY(!w->Timer1->isActive());
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
    w->Command3_Click();
    w.Feed(events);
    QCOMPARE(QString::fromStdString(w->ReceiveBuffer), collected);
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
    w->Command3_Click();
    w.port.Feed({reply.begin(), reply.begin() + beforeTick});
    w->Timer1_Timer();
    w.port.Feed({reply.begin() + beforeTick, reply.end()});

    QCOMPARE(w.Status(), U8(texts::kReplyBad));
    QCOMPARE(QString::fromStdString(w->ReceiveBuffer), Hex(reply));
    QCOMPARE(w->Text2->toPlainText(), QString());
    QCOMPARE(w->Text3->text(), "10.0");

    w->Command3_Click();
    QCOMPARE(QString::fromStdString(w->ReceiveBuffer), QString());
}

void TstExchange::portClosed_data()
{
    QTest::addColumn<QString>("handler");
    for (const char *handler : {"Command_OK1", "Command2", "Command3", "Command5"})
        QTest::newRow(handler) << handler;
}

void TstExchange::portClosed()
{
    QFETCH(QString, handler);
    ExchangeWindow w(false);
    w->Message_Show->setPlainText("old");
    w->Text1[0]->setPlainText("old");
    w->Text2->setPlainText("old");
    w->ReceiveBuffer = "AA ";

    Press(*w.window, handler);
    QCOMPARE(w.messages, QStringList{U8(texts::kOpenPortFirst)});
    QCOMPARE(w.Status(), QString());
    QCOMPARE(w->Text1[0]->toPlainText(), QString());
    QCOMPARE(w->Text2->toPlainText(), QString());
    QVERIFY(w->SendText.empty() && w->ReceiveBuffer.empty());
    QVERIFY(w.port.writes.empty());
    QVERIFY(w.pauses.empty());
    QVERIFY(!w->Timer1->isActive());
}

void TstExchange::slaveAddress_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<QString>("address");  // the text of Combo_Addr(2)
    QTest::addColumn<int>("sent");         // byte 0 of the request; -1: refused
    QTest::newRow("0") << "Command3" << "0" << 0;
    QTest::newRow("255") << "Command3" << "255" << 255;
    QTest::newRow("blanks around") << "Command3" << " 7 " << 7;
    QTest::newRow("empty") << "Command3" << "" << -1;
    QTest::newRow("256") << "Command3" << "256" << -1;
    QTest::newRow("hex") << "Command3" << "0x1" << -1;
    QTest::newRow("write, empty") << "Command2" << "" << -1;
    QTest::newRow("write, 9") << "Command2" << "9" << 9;
    QTest::newRow("switch, empty") << "Command5" << "" << -1;
    QTest::newRow("switch, 254") << "Command5" << "254" << 254;
}

void TstExchange::slaveAddress()
{
    QFETCH(QString, handler);
    QFETCH(QString, address);
    QFETCH(int, sent);
    ExchangeWindow w;
    w->Combo_Addr[2]->setEditText(address);
    Press(*w.window, handler);
    if (sent < 0) {
        QCOMPARE(w.messages, QStringList{U8(texts::kParameterError)});
        QVERIFY(w.port.writes.empty());
        QCOMPARE(w->Text1[0]->toPlainText(), QString());
        QVERIFY(!w->Timer1->isActive());
    } else {
        QCOMPARE(w.messages, QStringList());
        QCOMPARE(w.port.writes.size(), 1u);
        QCOMPARE(int(w.port.writes[0][0]), sent);
    }
}

void TstExchange::pauseBetweenWriteAndCheck_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<bool>("paused");
    for (const char *handler : {"Command_OK1", "Command2", "Command3", "Command5", "Timer3"})
        QTest::newRow(handler) << handler << true;
    QTest::newRow("Timer2") << "Timer2" << false;
}

void TstExchange::pauseBetweenWriteAndCheck()
{
    QFETCH(QString, handler);
    QFETCH(bool, paused);
    ExchangeWindow w;
    Press(*w.window, handler);
    QCOMPARE(w.port.writes.size(), 1u);
    QVERIFY(w->Timer1->isActive());
    QCOMPARE(w.pauses.size(), paused ? 1u : 0u);
    if (paused) {
        QCOMPARE(w.pauses[0].ms, 100);
        QCOMPARE(w.pauses[0].writesBefore, 1u);
        QVERIFY(!w.pauses[0].replyCheckRunning);
    }
}

void TstExchange::refusedWrite()
{
    ExchangeWindow w;
    w.port.refuseWrites = true;
    w->Command3_Click();
    QVERIFY(w.port.writes.empty());
    QCOMPARE(w->Text1[0]->toPlainText(), "01 03 00 00 00 10 44 06 ");
    w->Timer1_Timer();
    QCOMPARE(w.Status(), U8(texts::kReplyBad));
    QVERIFY(!w->Timer1->isActive());
}

void TstExchange::secondRequestKeepsTick()
{
    ExchangeWindow w;
    w->Command3_Click();
    const int first = w->Timer1->remainingTime();

    // The second request makes its real pause: 100 ms pass with no event handled, so a
    // check that kept its schedule has at least that much less to go; a restarted one
    // would have its whole interval again.
    w->m_sleep = [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); };
    w->Command3_Click();
    const int second = w->Timer1->remainingTime();
    QVERIFY2(second <= first - 90, qPrintable(QString("%1 then %2 ms to go").arg(first).arg(second)));

    // The tick that follows judges what arrived for the second request.
    w.port.Feed(ReadReply(kExample));
    QTRY_COMPARE(w.Status(), U8(texts::kReplyGood));
    QVERIFY(!w->Timer1->isActive());
}

QTEST_MAIN(TstExchange)
#include "tst_exchange.moc"
