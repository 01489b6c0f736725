#include "device/parameter_table.h"
#include "device/parameters.h"
#include "device/register_map.h"
#include "support/module_frames.h"

#include <QtTest>

namespace {

// One text per row of the parameter table, in its order (the rows without a box stay empty).
using Texts = device::FieldTexts;

std::size_t Row(const QString &key)
{
    return device::RowIndex(*device::FindParameter(key.toStdString()));
}

} // namespace

Q_DECLARE_METATYPE(Texts)

class TstParameters : public QObject {
    Q_OBJECT
private slots:
    void numbers_data();
    void numbers();
    void wholeBlock_data();
    void wholeBlock();
    void readBlockRequest();
    void oneField_data();
    void oneField();
    void baudRateCode_data();
    void baudRateCode();
    void unknownValuesShown();
};

void TstParameters::numbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("formatted");  // empty: not a number
    QTest::newRow("half away from zero") << "2.5" << 0 << "3";
    QTest::newRow("negative half") << "-2.5" << 0 << "-3";
    QTest::newRow("digits as written") << "1.005" << 2 << "1.01";
    QTest::newRow("carry into the whole part") << "9.96" << 1 << "10.0";
    QTest::newRow("padding") << ".5" << 3 << "0.500";
    QTest::newRow("no sign on zero") << "-0.004" << 2 << "0.00";
    QTest::newRow("blanks, plus, leading zeros") << " +007.25 " << 1 << "7.3";
    QTest::newRow("trailing point") << "12." << 0 << "12";
    QTest::newRow("lone point") << "." << 1 << "";
    QTest::newRow("two points") << "1.2.3" << 1 << "";
    QTest::newRow("exponent") << "1e3" << 0 << "";
    QTest::newRow("letters") << "abc" << 0 << "";
    QTest::newRow("sign alone") << "-" << 0 << "";
    QTest::newRow("two signs") << "++1" << 0 << "";
    QTest::newRow("blank") << " " << 0 << "";
    QTest::newRow("empty") << "" << 0 << "";
}

void TstParameters::numbers()
{
    QFETCH(QString, text);
    QFETCH(int, decimals);
    QFETCH(QString, formatted);
    const std::optional<std::string> result = device::FormatNumber(text.toStdString(), decimals);
    QCOMPARE(device::IsNumber(text.toStdString()), !formatted.isEmpty());
    QCOMPARE(QString::fromStdString(result.value_or("")), formatted);
}

void TstParameters::wholeBlock_data()
{
    QTest::addColumn<Texts>("texts");
    QTest::addColumn<QString>("moduleBaud");
    QTest::addColumn<Texts>("shown");
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("all empty") << Texts{} << "9600"
        << Texts{"10.0", "1000", "50.0", "0.000", "0.010", "0.010", "50", "2.00", "4.00", "50", "1"}
        << QByteArray::fromHex("0110 0000 000D 1A 0064 0000 03E8 01F4 0000 000A 000A 0032 00C8 0190 0032 0001 0001 6211");
    QTest::newRow("all at the upper bound")
        << Texts{"24", "150000", "100", "60", "60", "60", "60000", "10", "20", "1005", "4"} << "115200"
        << Texts{"24.0", "150000", "100.0", "60.000", "60.000", "60.000", "60000", "10.00", "20.00", "1005", "4"}
        << QByteArray::fromHex("0110 0000 000D 1A 00F0 0002 49F0 03E8 EA60 EA60 EA60 EA60 03E8 07D0 03ED 0004 0005 D93F");
}

void TstParameters::wholeBlock()
{
    PINS_KNOWN_GOOD();
    QFETCH(Texts, texts);
    QFETCH(QString, moduleBaud);
    QFETCH(Texts, shown);
    QFETCH(QByteArray, request);
    const device::ParameterWrite write = device::NormaliseParameters(texts, moduleBaud.toStdString(), 0);
    // the fields of the rows the block carries; a row written on its own is no part of it
    for (const device::Parameter &p : device::kParameters) {
        if (p.written == device::Written::InBlock)
            QCOMPARE(write.texts[device::RowIndex(p)], shown[device::RowIndex(p)]);
    }
    const std::vector<uint8_t> sent = device::BuildParameterWriteRequest(1, write.registers);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(sent.data()), int(sent.size())).toHex(' '), request.toHex(' '));
}

// The read block's request: the module's known-good frame.
void TstParameters::readBlockRequest()
{
    PINS_KNOWN_GOOD();
    QCOMPARE(ReadRequestText(1), QString("01 03 00 00 00 10 44 06"));
}

void TstParameters::oneField_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("reg");
    QTest::addColumn<int>("value");
    QTest::newRow("volt above") << "pwm_voltage" << "30" << "24.0" << int(device::PwmVoltage) << 240;
    QTest::newRow("volt below") << "pwm_voltage" << "0.5" << "1.0" << int(device::PwmVoltage) << 10;
    QTest::newRow("volt rounded") << "pwm_voltage" << "7.25" << "7.3" << int(device::PwmVoltage) << 73;
    QTest::newRow("freq 65535 low") << "pwm_frequency" << "65535" << "65535" << int(device::PwmFrequencyLow) << 65535;
    QTest::newRow("freq 65536 high") << "pwm_frequency" << "65536" << "65536" << int(device::PwmFrequencyHigh) << 1;
    QTest::newRow("freq 131072 high") << "pwm_frequency" << "131072" << "131072" << int(device::PwmFrequencyHigh) << 2;
    QTest::newRow("freq below") << "pwm_frequency" << "0.6" << "1" << int(device::PwmFrequencyLow) << 1;
    QTest::newRow("negative duty") << "pwm_duty" << "-5" << "0.0" << int(device::PwmDuty) << 0;
    QTest::newRow("high time 0") << "pulse_high" << "0" << "0.000" << int(device::PulseHighTime) << 0;
    QTest::newRow("high time -1") << "pulse_high" << "-1" << "0.010" << int(device::PulseHighTime) << 10;
    QTest::newRow("pulses -5") << "pulse_number" << "-5" << "0" << int(device::PulseNumber) << 0;
    QTest::newRow("mode 0") << "work_mode" << "0" << "0" << int(device::WorkMode) << 0;
    QTest::newRow("mode 9") << "work_mode" << "9" << "4" << int(device::WorkMode) << 4;
    QTest::newRow("sine kept as typed") << "sine_frequency" << "50.6" << "50.6" << int(device::SineFrequency) << 51;
    QTest::newRow("sine below") << "sine_frequency" << "-3" << "1" << int(device::SineFrequency) << 1;
    QTest::newRow("freq beyond any int") << "pwm_frequency" << "99999999999999999999" << "150000" << int(device::PwmFrequencyLow) << 18928;
    QTest::newRow("pulses beyond any int") << "pulse_number" << "99999999999999999999" << "60000" << int(device::PulseNumber) << 60000;
}

void TstParameters::oneField()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(int, reg);
    QFETCH(int, value);
    Texts texts{};  // the other fields take their defaults
    texts[Row(key)] = text.toStdString();
    const device::ParameterWrite write = device::NormaliseParameters(texts, "9600", 0);
    QCOMPARE(QString::fromStdString(write.texts[Row(key)]), shown);
    QCOMPARE(int(write.registers[static_cast<std::size_t>(reg)]), value);
}

void TstParameters::baudRateCode_data()
{
    QTest::addColumn<QString>("moduleBaud");
    QTest::addColumn<int>("previous");
    QTest::addColumn<int>("code");
    QTest::newRow("4800") << "4800" << 3 << 0;
    QTest::newRow("115200") << "115200" << 0 << 5;
    QTest::newRow("typed rate keeps the last code") << "14400" << 3 << 3;
    QTest::newRow("no blanks allowed") << " 9600" << 0 << 0;
}

void TstParameters::baudRateCode()
{
    QFETCH(QString, moduleBaud);
    QFETCH(int, previous);
    QFETCH(int, code);
    const device::ParameterWrite write =
        device::NormaliseParameters(Texts{}, moduleBaud.toStdString(), static_cast<uint16_t>(previous));
    QCOMPARE(int(write.baudRateCode), code);
    QCOMPARE(int(write.registers[device::BaudRateCode]), code);
}

// The switch and the rate show only what they mean; another value says so.
void TstParameters::unknownValuesShown()
{
    const device::Parameter &output = *device::FindParameter("output"), &rate = *device::FindParameter("module_baud");
    device::Registers registers{};
    registers[output.first] = 2;
    registers[rate.first] = 9;
    QCOMPARE(device::ShownValue(output, registers), std::string("unknown value 2"));
    QCOMPARE(device::ShownValue(rate, registers), std::string("unknown code 9"));
}

QTEST_APPLESS_MAIN(TstParameters)
#include "tst_parameters.moc"
