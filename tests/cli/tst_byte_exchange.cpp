// The exchange on bytes: every strict verdict, the window's own acceptance rule, and (through
// velqorctl's exchanger) a reply that arrives in pieces read whole, ending as soon as its
// length is in.

#include "cli/exchange.h"
#include "modbus/crc16.h"
#include "modbus/frames.h"
#include "support/module_frames.h"

#include <QtTest>

#include <thread>

namespace {

// Hands out the pieces one per wait, then nothing until the deadline.
class PieceLine final : public cli::Line {
public:
    std::vector<std::vector<uint8_t>> pieces;
    int waits = 0;  // waits that got a piece, and the first after the last piece
    std::vector<cli::Clock::time_point> writes;
    cli::Clock::time_point handed;  // when the last piece was handed out
    cli::OpenOutcome Open() override { return {}; }
    bool Write(const std::vector<uint8_t> &) override
    {
        writes.push_back(cli::Clock::now());
        return true;
    }
    std::vector<uint8_t> WaitForBytes(cli::Clock::time_point deadline) override
    {
        if (deadline <= cli::Clock::now())
            return {};  // nothing waits before the request
        if (static_cast<std::size_t>(waits) <= pieces.size())
            ++waits;
        if (static_cast<std::size_t>(waits) <= pieces.size()) {
            handed = cli::Clock::now();
            return pieces[static_cast<std::size_t>(waits - 1)];
        }
        std::this_thread::sleep_until(deadline);
        return {};
    }
    void Close() override {}
    std::string Name() const override { return "pieces"; }
};

const std::vector<uint8_t> kRead = modbus::BuildReadRequest(1, 0, 2);
const std::vector<uint8_t> kOutputOn = modbus::BuildWriteSingleRequest(1, 0x000D, 1);

} // namespace

class TestReplyVerdict : public QObject {
    Q_OBJECT
private slots:
    void judge_data()
    {
        QTest::addColumn<std::vector<uint8_t>>("request");
        QTest::addColumn<std::vector<uint8_t>>("received");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("good read") << kRead << WithCrc("0103040064000A") << "good";
        QTest::newRow("good echo") << kOutputOn << kOutputOn << "good";
        QTest::newRow("good write confirmation") << modbus::BuildWriteMultipleRequest(1, 0, {1, 2})
                                                 << WithCrc("011000000002") << "good";
        QTest::newRow("broadcast needs none") << modbus::BuildWriteSingleRequest(0, 0, 5) << std::vector<uint8_t>{}
                                              << "good";
        QTest::newRow("nothing") << kRead << std::vector<uint8_t>{} << "no reply";
        QTest::newRow("short") << kRead << Bytes("0103040064") << "incomplete reply";
        QTest::newRow("surplus byte") << kRead << [] { auto b = WithCrc("0103040064000A"); b.push_back(0); return b; }()
                                      << "unexpected length";
        QTest::newRow("bad CRC") << kRead << [] { auto b = WithCrc("0103040064000A"); b.back() ^= 1; return b; }()
                                 << "bad CRC";
        QTest::newRow("another slave") << kRead << WithCrc("0203040064000A") << "another slave";
        QTest::newRow("exception") << kRead << WithCrc("018302") << "exception 2 (illegal data address)";
        QTest::newRow("another function") << kRead << WithCrc("0104040064000A") << "another function code";
        QTest::newRow("byte count off") << kRead << WithCrc("0103050064000A") << "reply does not match the request";
        QTest::newRow("echo of another value") << kOutputOn << WithCrc("0106000D0000")
                                               << "reply does not match the request";
    }
    void judge()
    {
        QFETCH(std::vector<uint8_t>, request);
        QFETCH(std::vector<uint8_t>, received);
        QFETCH(QString, verdict);
        QCOMPARE(QString::fromStdString(modbus::VerdictText(modbus::JudgeReply(request, received))), verdict);
    }

    // The window's rule: header as the request's, an accepted length, the CRC of the rest.
    void windowRule_data()
    {
        QTest::addColumn<std::vector<uint8_t>>("request");
        QTest::addColumn<std::vector<uint8_t>>("received");
        QTest::addColumn<bool>("accepted");
        const auto read16 = modbus::BuildReadRequest(1, 0, 16);
        const std::string sixteen = "010320" + std::string(64, '1');
        auto registers = [](int n) { return WithCrc(("0103" + QByteArray::number(2 * n, 16).rightJustified(2, '0') + QByteArray(4 * n, '2')).constData()); };
        for (const int n : {1, 5, 6, 7, 8, 13, 14, 16})
            QTest::addRow("%d registers, %d bytes", n, 5 + 2 * n) << read16 << registers(n) << true;
        QTest::newRow("write echo, 8 bytes") << kOutputOn << kOutputOn << true;
        QTest::newRow("8 bytes after a read") << read16 << WithCrc("010300000010") << true;
        QTest::newRow("2 registers, 9 bytes") << read16 << registers(2) << false;
        QTest::newRow("the length a wider read asks for") << modbus::BuildReadRequest(1, 0, 17) << registers(17) << true;
        QTest::newRow("that length after a 16-register read") << read16 << registers(17) << false;
        QTest::newRow("another slave") << read16 << WithCrc(("02" + sixteen.substr(2)).c_str()) << false;
        QTest::newRow("another function only") << read16 << WithCrc(("0104" + sixteen.substr(4)).c_str()) << false;
        QTest::newRow("exception") << read16 << WithCrc("018302") << false;
        QTest::newRow("surplus byte") << read16 << [&] { auto b = WithCrc(sixteen.c_str()); b.push_back(0); return b; }() << false;
        QTest::newRow("incomplete") << read16 << [&] { auto b = WithCrc(sixteen.c_str()); b.pop_back(); return b; }() << false;
        QTest::newRow("bad CRC") << read16 << [&] { auto b = WithCrc(sixteen.c_str()); b.back() ^= 1; return b; }() << false;
        QTest::newRow("empty") << read16 << std::vector<uint8_t>{} << false;
        QTest::newRow("broadcast echo") << modbus::BuildWriteSingleRequest(0, 0, 5) << modbus::BuildWriteSingleRequest(0, 0, 5) << true;
    }
    void windowRule()
    {
        QFETCH(std::vector<uint8_t>, request);
        QFETCH(std::vector<uint8_t>, received);
        QFETCH(bool, accepted);
        modbus::Exchange exchange(request);
        exchange.Receive({received.begin(), received.begin() + received.size() / 2});
        exchange.Receive({received.begin() + received.size() / 2, received.end()});
        QCOMPARE(exchange.Received(), received);
        QCOMPARE(exchange.AcceptedByWindow(), accepted);
        QCOMPARE(exchange.ExpectsReply(), request[0] != 0);
    }

    // The exchange ends when the length is in: no wait after the last piece.
    void pieces_data()
    {
        QTest::addColumn<std::vector<std::vector<uint8_t>>>("pieces");
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<int>("waits");
        const auto reply = WithCrc("0103040064000A");
        QTest::newRow("whole") << std::vector<std::vector<uint8_t>>{reply} << "good" << 1;
        QTest::newRow("three pieces") << std::vector<std::vector<uint8_t>>{{reply.begin(), reply.begin() + 1},
                                                                           {reply.begin() + 1, reply.begin() + 6},
                                                                           {reply.begin() + 6, reply.end()}}
                                      << "good" << 3;
        const auto exception = WithCrc("018302");
        QTest::newRow("exception in two") << std::vector<std::vector<uint8_t>>{{exception.begin(), exception.begin() + 2},
                                                                               {exception.begin() + 2, exception.end()}}
                                          << "exception 2 (illegal data address)" << 2;
        QTest::newRow("stops short") << std::vector<std::vector<uint8_t>>{{reply.begin(), reply.begin() + 4}}
                                     << "incomplete reply" << 2;
    }
    void answer_data();
    void answer();

    void pieces()
    {
        QFETCH(std::vector<std::vector<uint8_t>>, pieces);
        QFETCH(QString, verdict);
        QFETCH(int, waits);
        PieceLine line;
        line.pieces = pieces;
        cli::Exchanger exchanger(line, std::chrono::milliseconds(500));
        int observed = 0;
        exchanger.observer = [&observed](const cli::ExchangeRecord &) { ++observed; };
        QCOMPARE(QString::fromStdString(modbus::VerdictText(exchanger.Exchange(kRead).judgement)), verdict);
        QCOMPARE(line.waits, waits);
        QCOMPARE(observed, 1);
    }

    // The next request leaves 3.5 characters of silence after the last byte received.
    void silenceBeforeRequest()
    {
        PieceLine line;
        line.pieces = {WithCrc("0103040064000A")};
        cli::Exchanger exchanger(line, std::chrono::milliseconds(500));
        exchanger.frameSilence = std::chrono::milliseconds(40);
        const cli::ExchangeRecord first = exchanger.Exchange(kRead);
        QCOMPARE(QString::fromStdString(modbus::VerdictText(first.judgement)), QString("good"));
        exchanger.Exchange(kOutputOn);
        QCOMPARE(line.writes.size(), std::size_t(2));
        QVERIFY(line.writes[1] - line.handed >= std::chrono::milliseconds(40));
    }
};

// Which bytes answer the request: stray bytes around the answer and a late reply to the
// request before it are kept apart.
void TestReplyVerdict::answer_data()
{
    QTest::addColumn<std::vector<uint8_t>>("earlier");
    QTest::addColumn<std::vector<uint8_t>>("received");
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<int>("stray");
    QTest::addColumn<int>("late");
    const auto reply = WithCrc("0103040064000A");
    const auto join = [](std::vector<uint8_t> a, const std::vector<uint8_t> &b) { a.insert(a.end(), b.begin(), b.end()); return a; };
    const auto slave2 = modbus::BuildReadRequest(2, 0, 1);
    const auto reply2 = WithCrc("0203020064");
    QTest::newRow("stray bytes first") << std::vector<uint8_t>{} << join({0xFF, 0xFF}, reply) << "good" << 2 << 0;
    QTest::newRow("stray bytes after") << std::vector<uint8_t>{} << join(reply, {0xFF, 0xFF}) << "good" << 2 << 0;
    QTest::newRow("late reply, then the answer") << slave2 << join(reply2, reply) << "good" << 0 << 7;
    QTest::newRow("late reply alone") << slave2 << reply2 << "no reply" << 0 << 7;
    QTest::newRow("another slave is no late reply") << kRead << WithCrc("0203040064000A") << "another slave" << 0 << 0;
    QTest::newRow("the same request again: its answer") << kRead << reply << "good" << 0 << 0;
}

void TestReplyVerdict::answer()
{
    QFETCH(std::vector<uint8_t>, earlier);
    QFETCH(std::vector<uint8_t>, received);
    QFETCH(QString, verdict);
    QFETCH(int, stray);
    QFETCH(int, late);
    modbus::Exchange exchange(kRead, earlier);
    exchange.Receive(received);
    QCOMPARE(QString::fromStdString(modbus::VerdictText(exchange.JudgeAnswer())), verdict);
    QCOMPARE(int(exchange.Stray().size()), stray);
    QCOMPARE(int(exchange.LateReply().size()), late);
}

QTEST_APPLESS_MAIN(TestReplyVerdict)
#include "tst_byte_exchange.moc"
