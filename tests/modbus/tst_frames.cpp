#include "modbus/crc16.h"
#include "modbus/frames.h"
#include "modbus/hex_text.h"

#include <QtTest>

namespace {

std::vector<uint8_t> Bytes(const QByteArray &a)
{
    return std::vector<uint8_t>(a.begin(), a.end());
}

} // namespace

class TstFrames : public QObject {
    Q_OBJECT
private slots:
    void crcCoversExactlyTheRequestBytes();
    void crcIsByteExactForEveryValue();
    void requestsOnTheWire_data();
    void requestsOnTheWire();
    void hexTextRoundTrip_data();
    void hexTextRoundTrip();
    void slaveAddress_data();
    void slaveAddress();
};

void TstFrames::crcCoversExactlyTheRequestBytes()
{
    const QByteArray check("123456789");
    QCOMPARE(modbus::Crc16(reinterpret_cast<const uint8_t *>(check.data()), 9), uint16_t{0x4B37});

    // a 13-byte buffer filled at 0..5: bytes 6..12 are neither covered nor copied
    std::vector<uint8_t> buffer(13, 0xEE);
    const std::vector<uint8_t> request{0x01, 0x06, 0x00, 0x0D, 0x00, 0x01};
    std::copy(request.begin(), request.end(), buffer.begin());
    const std::vector<uint8_t> before = buffer;
    QCOMPARE(modbus::AppendCrc16(buffer, 5), Bytes(QByteArray::fromHex("0106000D0001D9C9")));
    QCOMPARE(buffer, before);

    QCOMPARE(modbus::AppendCrc16({0x01}, 0).size(), std::size_t{3});
    QVERIFY(modbus::HasValidCrc(modbus::AppendCrc16({0x01}, 0)));
    QVERIFY(!modbus::HasValidCrc(Bytes(QByteArray::fromHex("0106000D0001C9D9"))));  // bytes swapped
    QVERIFY(!modbus::HasValidCrc({0xFF}));
}

void TstFrames::crcIsByteExactForEveryValue()
{
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i)
        all[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
    const std::vector<uint8_t> sent = modbus::AppendCrc16(all, 255);
    QCOMPARE(sent.size(), std::size_t{258});
    QVERIFY(std::equal(all.begin(), all.end(), sent.begin()));
    QVERIFY(modbus::HasValidCrc(sent));
}

void TstFrames::requestsOnTheWire_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("wire");
    auto row = [](const char *name, const std::vector<uint8_t> &built, const char *wire) {
        QTest::newRow(name) << QByteArray(reinterpret_cast<const char *>(built.data()), int(built.size()))
                            << QByteArray::fromHex(wire);
    };
    row("read 16 registers", modbus::BuildReadRequest(1, 0x0000, 16), "010300000010 4406");
    row("output on", modbus::BuildWriteSingleRequest(1, 0x000D, 1), "0106000D0001 D9C9");
    row("output off", modbus::BuildWriteSingleRequest(1, 0x000D, 0), "0106000D0000 1809");
    row("new address 5", modbus::BuildWriteSingleRequest(modbus::kBroadcastAddress, 0x0000, 5), "000600000005 4818");
    row("read 18 registers", modbus::BuildReadRequest(1, 0x0000, 18), "010300000012 C5C7");
    row("write 2 registers", modbus::BuildWriteMultipleRequest(0x11, 0x0001, {0x000A, 0x0102}),
        "1110000100020400 0A0102 C6F0");
}

void TstFrames::requestsOnTheWire()
{
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, wire);
    QCOMPARE(built.toHex(' '), wire.toHex(' '));
}

void TstFrames::hexTextRoundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << QByteArray() << "";
    QTest::newRow("leading zero, upper case") << QByteArray::fromHex("000AFF") << "00 0A FF ";
    QTest::newRow("read request") << QByteArray::fromHex("0103000000104406") << "01 03 00 00 00 10 44 06 ";
}

void TstFrames::hexTextRoundTrip()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(modbus::ToHexText(Bytes(bytes))), text);
    QCOMPARE(modbus::ParseHexText(text.toStdString()), std::optional(Bytes(bytes)));
    QCOMPARE(modbus::ParseHexText(text.toLower().toStdString()), std::optional(Bytes(bytes)));
}

void TstFrames::slaveAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("address");  // -1: refused
    QTest::newRow("list item") << "1" << 1;
    QTest::newRow("typed 0") << "0" << 0;
    QTest::newRow("typed 255") << "255" << 255;
    QTest::newRow("blanks around") << " 17\t" << 17;
    QTest::newRow("256") << "256" << -1;
    QTest::newRow("many digits") << "99999999999999999999999" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("sign") << "+5" << -1;
    QTest::newRow("point") << "5.0" << -1;
    QTest::newRow("letters") << "5a" << -1;
}

void TstFrames::slaveAddress()
{
    QFETCH(QString, text);
    QFETCH(int, address);
    const std::optional<uint8_t> parsed = modbus::ParseSlaveAddress(text.toStdString());
    QCOMPARE(parsed ? int(*parsed) : -1, address);
}

QTEST_APPLESS_MAIN(TstFrames)
#include "tst_frames.moc"
