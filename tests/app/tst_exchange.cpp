// The exchange controller on its own, on a fake port: what goes out, what the receive
// events collect, the pause, and what the reply timer makes of it by the window's rule
// (the whole table of that rule: tst_byte_exchange; each operation through the window:
// tst_operations).
#include "app/status_row.h"
#include "modbus/frames.h"
#include "support/exchange_window.h"
#include "support/module_frames.h"

#include <QThread>
#include <QtTest>

namespace {

const std::vector<uint8_t> kRead = modbus::BuildReadRequest(1, device::kReadBlockFirst, device::kReadBlockCount);
const std::vector<uint8_t> kOutputOn = OutputRequest(true);

// The controller with the status row on a bare widget, the message box recorded and the
// pause recorded (ended at once unless `holdPauses`).
struct Rig {
    struct Pause {
        int ms;
        std::size_t writesBefore;
        bool replyCheckRunning;
    };
    FakePort port;
    QWidget host;
    StatusRow status;
    QStringList messages;
    std::vector<Pause> pauses;
    std::vector<std::function<void()>> held;
    std::vector<std::vector<uint8_t>> goodReplies;
    bool holdPauses = false;
    ShowMessage showMessage = [this](const QString &text, const QString &) { messages << text; };
    RunAfter after = [this](int ms, std::function<void()> then) {
        pauses.push_back({ms, port.writes.size(), Timer()->isActive()});
        if (holdPauses)
            held.push_back(std::move(then));
        else
            then();
    };
    ExchangeController exchange{port, status, showMessage, after, nullptr};
    QString slave = "1";

    Rig()
    {
        status.Build(&host);
        port.open = true;
        exchange.portIsOpen = [this] { return port.open; };
        exchange.slaveText = [this] { return slave; };
        exchange.onGoodReply = [this](const std::vector<uint8_t> &reply) { goodReplies.push_back(reply); };
    }
    QTimer *Timer() const { return ReplyTimer(exchange); }
    QString Received() const { return QString::fromStdString(exchange.ReceivedHex()); }
    void ReleasePause()
    {
        auto then = std::move(held.front());
        held.erase(held.begin());
        then();
    }
};

} // namespace

class TstExchange : public QObject {
    Q_OBJECT
private slots:
    void replyCheck_data();
    void replyCheck();
    void receiveEvents_data();
    void receiveEvents();
    void lateReply();
    void refusals_data();
    void refusals();
    void pauseThenTimer();
    void whatComesDuringThePauseWaits();
    void refusedWrite();
    void secondRequestKeepsTick();
    void tickInALaterPause();
    void keysWaitForThePause();
};

// A few rows that show the timer judges by the window's rule on the request sent.
void TstExchange::replyCheck_data()
{
    QTest::addColumn<std::vector<uint8_t>>("request");
    QTest::addColumn<Pieces>("reply");
    QTest::addColumn<bool>("good");
    const auto full = ReadReply(kExample);
    QTest::newRow("16 registers in two events")
        << kRead << Pieces{{full.begin(), full.begin() + 20}, {full.begin() + 20, full.end()}} << true;
    QTest::newRow("no reply") << kRead << Pieces{} << false;
    QTest::newRow("write echo") << kOutputOn << Pieces{kOutputOn} << true;
}

void TstExchange::replyCheck()
{
    QFETCH(std::vector<uint8_t>, request);
    QFETCH(Pieces, reply);
    QFETCH(bool, good);
    Rig r;
    r.exchange.Begin();
    r.exchange.Send(request);
    QCOMPARE(r.port.writes, std::vector<std::vector<uint8_t>>{request});
    QCOMPARE(Shown(r.host, "sentBox"), Hex(request));
    QVERIFY(r.Timer()->isActive());

    std::vector<uint8_t> received;
    for (const auto &piece : reply) {
        r.port.Feed(piece);
        received.insert(received.end(), piece.begin(), piece.end());
    }
    r.exchange.checkReply();
    QCOMPARE(Shown(r.host, "statusBox"), U8(good ? texts::kReplyGood : texts::kReplyBad));
    QCOMPARE(Shown(r.host, "receivedBox"), good ? Hex(received) : QString());
    QCOMPARE(Shown(r.host, "sentBox"), Hex(request));
    QCOMPARE(r.goodReplies, good ? std::vector<std::vector<uint8_t>>{received} : std::vector<std::vector<uint8_t>>{});
    QVERIFY(!r.Timer()->isActive());
}

void TstExchange::receiveEvents_data()
{
    QTest::addColumn<Pieces>("events");
    QTest::addColumn<QString>("collected");
    QTest::newRow("00 0F FF") << Pieces{Bytes("00 0F FF")} << "00 0F FF ";
    const auto at = [](int i) { return kOutputOn.begin() + i; };
    QTest::newRow("3, 4 and 1 bytes") << Pieces{{at(0), at(3)}, {at(3), at(7)}, {at(7), at(8)}} << Hex(kOutputOn);
    QTest::newRow("nothing waiting") << Pieces{{}} << "";
    // Anything longer than the read block's reply is bad anyway: a flooding line stops adding at 1024.
    QTest::newRow("flood") << Pieces(5000, {0x55}) << QString("55 ").repeated(1024);
}

void TstExchange::receiveEvents()
{
    QFETCH(Pieces, events);
    QFETCH(QString, collected);
    Rig r;
    r.exchange.Send(kRead);
    for (const auto &piece : events)
        r.port.Feed(piece);
    QCOMPARE(r.Received(), collected);
}

// Bytes after the tick are kept but judge nothing. The next request of the same kind waits
// until the line has been quiet for one time-out (the pause and the reply timer): the rest of
// the late reply comes meanwhile, is dropped and starts the quiet again; the request starts empty.
void TstExchange::lateReply()
{
    const auto reply = ReadReply(kExample);
    for (int beforeTick : {0, 20}) {
        Rig r;
        r.exchange.Send(kRead);
        r.port.Feed({reply.begin(), reply.begin() + beforeTick});
        r.exchange.checkReply();
        QCOMPARE(Shown(r.host, "statusBox"), U8(texts::kReplyBad));
        QCOMPARE(Shown(r.host, "receivedBox"), QString());
        QVERIFY(r.goodReplies.empty());
        r.holdPauses = true;
        r.exchange.Begin();
        QCOMPARE(r.Received(), QString());
        r.exchange.Send(kRead);
        QCOMPARE(r.port.writes.size(), 1u);
        QCOMPARE(r.pauses.back().ms, 260);
        r.port.Feed({reply.begin() + beforeTick, reply.end()});
        r.ReleasePause();
        QCOMPARE(r.port.writes.size(), 1u);
        QVERIFY(r.pauses.back().ms > 250);
        r.ReleasePause();
        QCOMPARE(r.port.writes.size(), 2u);
        QCOMPARE(r.Received(), QString());
    }
}

// Begin empties the row; a closed port or an address that is no byte refuses with a box
// (the address parsing table: tst_frames).
void TstExchange::refusals_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("slave");
    QTest::addColumn<int>("address");  // -1: refused
    QTest::addColumn<QString>("message");
    QTest::newRow("port closed") << false << "1" << -1 << U8(texts::kOpenPortFirst);
    QTest::newRow("blanks around 255") << true << " 255 " << 255 << QString();
    QTest::newRow("256") << true << "256" << -1 << U8(texts::kParameterError);
}

void TstExchange::refusals()
{
    QFETCH(bool, open);
    QFETCH(QString, slave);
    QFETCH(int, address);
    QFETCH(QString, message);
    Rig r;
    r.exchange.Send(kRead);
    r.port.Feed(Bytes("AA"));
    r.exchange.checkReply();
    r.port.open = open;
    r.slave = slave;
    r.exchange.Begin();
    for (const char *display : {"statusBox", "sentBox", "receivedBox"})
        QCOMPARE(Shown(r.host, display), QString());
    QVERIFY(r.exchange.SentHex().empty() && r.exchange.ReceivedHex().empty());
    const auto checked = r.exchange.CheckedSlave();
    QCOMPARE(checked ? int(*checked) : -1, address);
    QCOMPARE(r.messages, message.isEmpty() ? QStringList() : QStringList{message});
    // The address change checks its own list with the same rule.
    QCOMPARE(bool(r.exchange.CheckedAddress(slave, texts::kParameterError)), address >= 0);
}

// The frame is written, then the 100 ms pause, and only then the reply timer starts.
void TstExchange::pauseThenTimer()
{
    Rig r;
    r.exchange.Send(kRead);
    QCOMPARE(r.port.writes.size(), 1u);
    QCOMPARE(r.pauses.size(), 1u);
    QCOMPARE(r.pauses[0].ms, 100);
    QCOMPARE(r.pauses[0].writesBefore, 1u);
    QVERIFY(!r.pauses[0].replyCheckRunning);
    QVERIFY(r.Timer()->isActive());
    QCOMPARE(r.Timer()->interval(), 160);
}

// The pause holds no thread: what comes meanwhile (bytes, an action) waits for its end
// and then runs in the order it came, so one exchange is in flight at a time.
void TstExchange::whatComesDuringThePauseWaits()
{
    Rig r;
    r.holdPauses = true;
    r.exchange.Send(kRead);
    QVERIFY(r.exchange.Pausing());
    QVERIFY(!r.Timer()->isActive());
    r.port.Feed(Bytes("01 03"));
    QStringList ran;
    r.exchange.WhenIdle([&] {
        ran << r.Received() << QString::number(r.Timer()->isActive());
        r.exchange.Begin();
        r.exchange.Send(kOutputOn);
    });
    QVERIFY(ran.isEmpty());
    QCOMPARE(r.Received(), QString());

    // The reply timer starts, the bytes are read, then the action empties them and sends,
    // once the line has been quiet for 3.5 characters (at 9600 baud) since those bytes.
    r.ReleasePause();
    QCOMPARE(ran, (QStringList{"01 03 ", "1"}));
    QCOMPARE(r.Received(), QString());
    QCOMPARE(r.pauses.size(), 2u);
    QVERIFY(r.pauses[1].ms >= 1 && r.pauses[1].ms <= 4);
    QCOMPARE(r.port.writes, std::vector<std::vector<uint8_t>>{kRead});
    QVERIFY(r.exchange.Pausing());
    r.ReleasePause();
    QCOMPARE(r.port.writes, (std::vector<std::vector<uint8_t>>{kRead, kOutputOn}));
    QCOMPARE(r.pauses.size(), 3u);
    QCOMPARE(r.pauses[2].ms, 100);
    QVERIFY(r.pauses[2].replyCheckRunning);
    r.ReleasePause();
    QVERIFY(!r.exchange.Pausing());
    bool now = false;
    r.exchange.WhenIdle([&] { now = true; });
    QVERIFY(now);
}

void TstExchange::refusedWrite()
{
    Rig r;
    r.port.refuseWrites = true;
    r.exchange.Send(kRead);
    QVERIFY(r.port.writes.empty());
    QCOMPARE(Shown(r.host, "sentBox"), Hex(kRead));
    r.exchange.checkReply();
    QCOMPARE(Shown(r.host, "statusBox"), U8(texts::kReplyBad));
    QVERIFY(!r.Timer()->isActive());
}

void TstExchange::secondRequestKeepsTick()
{
    Rig r;
    r.exchange.Send(kRead);
    const int first = r.Timer()->remainingTime();

    // The second request's pause lasts 100 ms, so a reply timer that kept its schedule has
    // at least that much less to go when it ends; a restarted one would have its whole
    // interval again.
    r.holdPauses = true;
    r.exchange.Send(kRead);
    QThread::msleep(100);  // the pause's 100 ms, with no event handled meanwhile
    r.ReleasePause();
    const int second = r.Timer()->remainingTime();
    QVERIFY2(second <= first - 90, qPrintable(QString("%1 then %2 ms to go").arg(first).arg(second)));

    // The tick that follows, from the timer itself, judges what arrived for the second request.
    r.port.Feed(ReadReply(kExample));
    QTRY_COMPARE(Shown(r.host, "statusBox"), U8(texts::kReplyGood));
    QVERIFY(!r.Timer()->isActive());
}

// A slow double-click on the read button: the second press comes shortly before the first
// request's reply timer ticks, so the tick falls in the second request's pause. It waits for
// the pause to end and judges the reply to the second request, the only verdict shown.
void TstExchange::tickInALaterPause()
{
    // The second press must come before the first tick; on a busy machine the press may be
    // late, and then the case was not set up: it is tried again (what it checks never is).
    for (int attempt = 1;; ++attempt) {
        ExchangeWindow w;
        w.UseRealPause();
        QStringList statuses;
        QObject::connect(Part<QPlainTextEdit>(*w, "statusBox"), &QPlainTextEdit::textChanged, [&] {
            statuses << Shown(*w, "statusBox");
        });
        std::vector<std::size_t> checked;
        w->Exchange().onReplyCheck = [&](const modbus::Exchange &e) { checked.push_back(e.Received().size()); };
        const auto reply = ReadReply(kExample);

        Click(*w, "readButton");
        w.Feed({reply});
        QTRY_VERIFY(!Exchange(*w)->Pausing());
        const int toTick = ReplyTimer(*w)->remainingTime();
        bool pressed = false;
        bool beforeTick = false;
        QTimer::singleShot(std::max(0, toTick - 40), Qt::PreciseTimer, [&] {
            beforeTick = checked.empty();
            Click(*w, "readButton");
            w.Feed({reply});
            pressed = true;
        });
        QTRY_VERIFY(pressed && !ReplyTimer(*w)->isActive() && !Exchange(*w)->Pausing());
        if ((toTick <= 40 || !beforeTick) && attempt < 10)
            continue;
        QVERIFY2(beforeTick, "the second press never came before the first tick");
        QCOMPARE(w.port.writes.size(), 2u);
        QCOMPARE(checked, std::vector<std::size_t>{reply.size()});
        QVERIFY2(!statuses.contains(U8(texts::kReplyBad)), qPrintable(statuses.join(' ')));
        QCOMPARE(w.Status(), U8(texts::kReplyGood));
        return;
    }
}

// A key typed during the pause reaches its box after the pause, in order with a press that
// came before it: the second write still sends the work mode the first one sent.
void TstExchange::keysWaitForThePause()
{
    ExchangeWindow w;
    w.UseRealPause();
    ValueBox *const workMode = Box(*w, "workModeBox");
    Click(*w, "writeButton");
    QVERIFY(Exchange(*w)->Pausing());
    Click(*w, "writeButton");
    QTest::keyClick(workMode, Qt::Key_Backspace);
    QTest::keyClick(workMode, Qt::Key_3);
    QCOMPARE(workMode->text(), QString("1"));
    QTRY_VERIFY(w.port.writes.size() == 2 && !Exchange(*w)->Pausing());
    QCOMPARE(Hex(w.port.writes[1]), Hex(w.port.writes[0]));
    QCOMPARE(workMode->text(), QString("3"));
}

QTEST_MAIN(TstExchange)
#include "tst_exchange.moc"
