#include "device/reply_decoding.h"
#include "modbus/crc16.h"
#include "modbus/hex_text.h"
#include "support/module_frames.h"
#include "support/module_values.h"

#include <QtTest>

namespace {

// A reply from slave 1 carrying the first `count` of `values` with `function`, as hex text.
std::string ReplyText(const std::vector<uint16_t> &values, std::size_t count, uint8_t function = 0x03)
{
    std::vector<uint8_t> bytes = ReadReply({values.begin(), values.begin() + static_cast<long>(count)});
    bytes[1] = function;
    return modbus::ToHexText(modbus::AppendCrc16(bytes, bytes.size() - 3));
}

std::vector<uint16_t> ExampleWith(std::size_t reg, uint16_t value)
{
    std::vector<uint16_t> values = kExample;
    values[reg] = value;
    return values;
}

// The decoded read as one line, so that a row states all of it: "pwm_voltage=24.0 ... pulse_count=7 baud=1 out=1".
QString Describe(const std::optional<device::DecodedRead> &read)
{
    if (!read)
        return "unchanged";
    QStringList parts;
    for (const auto &[row, text] : read->texts)
        parts << QString("%1=%2").arg(row->key).arg(QString::fromStdString(text));
    if (read->baudItem)
        parts << QString("baud=%1").arg(*read->baudItem);
    if (read->outputState)
        parts << QString("out=%1").arg(*read->outputState);
    return parts.join(' ');
}

} // namespace

class TstReplyDecoding : public QObject {
    Q_OBJECT
private slots:
    void decode_data();
    void decode();
};

void TstReplyDecoding::decode_data()
{
    QTest::addColumn<QString>("receiveBuffer");
    QTest::addColumn<QString>("decoded");
    auto row = [](const char *name, const std::string &text, const char *decoded) {
        QTest::newRow(name) << QString::fromStdString(text) << decoded;
    };
    const char *full = "pwm_voltage=24.0 pwm_frequency=100000 pwm_duty=50.0 pulse_delay=0.000 pulse_high=1.000 pulse_low=1.000 pulse_number=50 "
                       "voltage_source=6.00 current_source=8.00 sine_frequency=50 work_mode=1 pulse_count=7 baud=1 out=1";
    row("16 registers", ReplyText(kExample, 16), full);
    row("output off", ReplyText(ExampleWith(0x0D, 0), 16),
        "pwm_voltage=24.0 pwm_frequency=100000 pwm_duty=50.0 pulse_delay=0.000 pulse_high=1.000 pulse_low=1.000 pulse_number=50 "
        "voltage_source=6.00 current_source=8.00 sine_frequency=50 work_mode=1 pulse_count=7 baud=1 out=0");
    row("baud code 6 leaves the list", ReplyText(ExampleWith(0x0C, 6), 16),
        "pwm_voltage=24.0 pwm_frequency=100000 pwm_duty=50.0 pulse_delay=0.000 pulse_high=1.000 pulse_low=1.000 pulse_number=50 "
        "voltage_source=6.00 current_source=8.00 sine_frequency=50 work_mode=1 pulse_count=7 out=1");
    row("hex letters", ReplyText(ExampleWith(0x07, 0x0A1F), 8),
        "pwm_voltage=24.0 pwm_frequency=100000 pwm_duty=50.0 pulse_delay=0.000 pulse_high=1.000 pulse_low=1.000 pulse_number=2591");
    row("beyond the label's range", ReplyText(ExampleWith(0x00, 300), 1), "pwm_voltage=30.0");
    row("CRC not examined", ReplyText(kExample, 1).substr(0, 15) + "00 00 ", "pwm_voltage=24.0");
    row("5 registers", ReplyText(kExample, 5), "pwm_voltage=24.0 pwm_frequency=100000 pwm_duty=50.0 pulse_delay=0.000");
    row("13 registers", ReplyText(kExample, 13),
        "pwm_voltage=24.0 pwm_frequency=100000 pwm_duty=50.0 pulse_delay=0.000 pulse_high=1.000 pulse_low=1.000 pulse_number=50 "
        "voltage_source=6.00 current_source=8.00 sine_frequency=50 work_mode=1 baud=1");
    row("largest values", ReplyText(std::vector<uint16_t>(16, 0xFFFF), 16),
        "pwm_voltage=6553.5 pwm_frequency=4294967295 pwm_duty=6553.5 pulse_delay=65.535 pulse_high=65.535 pulse_low=65.535 pulse_number=65535 "
        "voltage_source=655.35 current_source=655.35 sine_frequency=65535 work_mode=65535 pulse_count=65535 out=65535");
    row("write reply", modbus::ToHexText(OutputRequest(true)), "unchanged");
    row("another function", ReplyText(kExample, 16, 0x04), "unchanged");
    row("2 registers", ReplyText(kExample, 2), "unchanged");
    row("not hex", "01 03 02 0G 64 00 00 ", "unchanged");
    row("empty", "", "unchanged");
}

void TstReplyDecoding::decode()
{
    QFETCH(QString, receiveBuffer);
    QFETCH(QString, decoded);
    // text that is not hex text changes nothing, as a reply that does not decode
    const auto bytes = modbus::ParseHexText(receiveBuffer.toStdString());
    QCOMPARE(Describe(bytes ? device::DecodeReply(*bytes) : std::nullopt), decoded);
}

QTEST_APPLESS_MAIN(TstReplyDecoding)
#include "tst_reply_decoding.moc"
