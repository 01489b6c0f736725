// Modbus TCP's framing at the edge of a connection, the gateway's exceptions, and which
// failed exchanges velqorctl asks again.

#include "cli/retry_rule.h"
#include "modbus/crc16.h"
#include "modbus/frames.h"
#include "modbus/mbap.h"
#include "serial/port_names.h"
#include "support/module_frames.h"

#include <QtTest>

class TstMbap : public QObject {
    Q_OBJECT
private slots:
    // The read of 16 registers from unit 7 as transaction 1, and its reply back as RTU.
    void wrapAndUnwrap()
    {
        QCOMPARE(FrameText(modbus::MbapFromRtu(1, modbus::BuildReadRequest(7, 0, 16))),
                 QString("00 01 00 00 00 06 07 03 00 00 00 10"));
        QCOMPARE(FrameText(modbus::MbapFromRtu(0x1234, modbus::BuildWriteSingleRequest(0, 0, 9))),
                 QString("12 34 00 00 00 06 00 06 00 00 00 09"));
        const auto rtu = modbus::RtuFromMbap(Bytes("0001000000050703020064"));
        QCOMPARE(FrameText(rtu), FrameText(modbus::AppendCrc16(Bytes("0703020064"), 4)));
        QVERIFY(modbus::MbapFromRtu(1, Bytes("0103")).empty());
    }

    void split_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QString>("front");
        QTest::addColumn<int>("length");
        QTest::newRow("a whole reply") << QByteArray("0001000000050703020064") << "frame" << 11;
        QTest::newRow("tail still to come") << QByteArray("00010000000507030200") << "partial" << 0;
        QTest::newRow("an RTU frame: protocol id not 0") << QByteArray("0703020064AABB") << "not" << 0;
        QTest::newRow("length 1: no function code") << QByteArray("00010000000107") << "not" << 0;
        QTest::newRow("length beyond any PDU") << QByteArray("00010000FFFF07") << "not" << 0;
    }
    void split()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QString, front);
        QFETCH(int, length);
        const modbus::MbapSplit split = modbus::SplitMbap(Bytes(stream.constData()));
        const char *names[] = {"partial", "frame", "not"};
        QCOMPARE(QString(names[static_cast<int>(split.front)]), front);
        QCOMPARE(int(split.length), length);
    }

    // addresses only parsed, never dialled (network_rule.sh passes lines that say so)
    void address_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("address");
        QTest::newRow("port 502 unless given") << "modbus-tcp://127.0.0.1" << "127.0.0.1 502";
        QTest::newRow("the scheme in any case") << "MODBUS-TCP://gw.local:1502" << "gw.local 1502";  // never dialled
        QTest::newRow("IPv6 in brackets") << "modbus-tcp://[::1]" << "::1 502";  // never dialled
        QTest::newRow("IPv6 without brackets") << "modbus-tcp://::1" << "-";           // never dialled
        QTest::newRow("port 0") << "modbus-tcp://127.0.0.1:0" << "-";
        QTest::newRow("tcp:// is the other scheme") << "tcp://127.0.0.1:502" << "-";
    }
    void address()
    {
        QFETCH(QString, text);
        QFETCH(QString, address);
        const auto parsed = serial::ParseModbusTcpAddress(text.toStdString());
        QCOMPARE(parsed ? QString::fromStdString(parsed->host) + ' ' + QString::number(parsed->port) : QString("-"),
                 address);
    }

    void gatewayExceptions()
    {
        const auto read = modbus::BuildReadRequest(7, 0, 16);
        const auto judge = [&](const char *hex) {
            const auto body = Bytes(hex);
            return QString::fromStdString(modbus::VerdictText(modbus::JudgeReply(read, modbus::AppendCrc16(body, 2))));
        };
        QCOMPARE(judge("07830A"), QString("gateway: no path to the module (exception 10)"));
        QCOMPARE(judge("07830B"), QString("gateway: the module did not answer (exception 11)"));
    }

    // Reads, the parameter block and the output switch go again after a loss; a refusal,
    // a reply that does not fit and the broadcast never do.
    void retried_data()
    {
        QTest::addColumn<std::vector<uint8_t>>("request");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<int>("exception");
        QTest::addColumn<bool>("again");
        using V = modbus::Verdict;
        const auto read = modbus::BuildReadRequest(1, 0, 16);
        const auto block = modbus::BuildWriteMultipleRequest(1, 0, {1, 2, 3});
        const auto output = modbus::BuildWriteSingleRequest(1, 0x000D, 1);
        const auto address = modbus::BuildWriteSingleRequest(0, 0, 9);
        const auto rate = modbus::BuildWriteSingleRequest(1, 0x000C, 2);
        QTest::newRow("read, no reply") << read << int(V::NoReply) << 0 << true;
        QTest::newRow("read, bad CRC") << read << int(V::BadCrc) << 0 << true;
        QTest::newRow("read, another slave") << read << int(V::OtherSlave) << 0 << true;
        QTest::newRow("read, gateway: no answer") << read << int(V::Exception) << 11 << true;
        QTest::newRow("read, refused") << read << int(V::Exception) << 2 << false;
        QTest::newRow("read, does not fit") << read << int(V::Mismatch) << 0 << false;
        QTest::newRow("parameter block, no reply") << block << int(V::NoReply) << 0 << true;
        QTest::newRow("output switch, bad CRC") << output << int(V::BadCrc) << 0 << true;
        QTest::newRow("address change: a broadcast") << address << int(V::NoReply) << 0 << false;
        QTest::newRow("another single register") << rate << int(V::NoReply) << 0 << false;
    }
    void retried()
    {
        QFETCH(std::vector<uint8_t>, request);
        QFETCH(int, verdict);
        QFETCH(int, exception);
        QFETCH(bool, again);
        cli::ExchangeRecord record;
        record.request = request;
        record.judgement = {static_cast<modbus::Verdict>(verdict), static_cast<uint8_t>(exception)};
        QCOMPARE(cli::SafeToRepeat(request) && cli::WorthAskingAgain(record), again);
        record.lost = "connection closed by the server";
        QVERIFY(!cli::WorthAskingAgain(record));
    }
};

QTEST_APPLESS_MAIN(TstMbap)
#include "tst_mbap.moc"
