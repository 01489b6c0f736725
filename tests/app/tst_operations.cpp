// The device operations through the window on a fake port: address change, parameter
// write, output switch, parameter read with its decoding.
#include "support/exchange_window.h"

#include <QtTest>

namespace {

const QStringList kExampleShown{"24.0", "100000", "50.0", "0.000", "1.000", "1.000",
                                "50",   "6.00",   "8.00", "1",     "50",    "7"};

// The parameter fields as start-up leaves them, and the registers they send with "9600".
const QStringList kStartShown{"10.0", "1000", "50.0", "0.000", "0.010", "0.010", "50", "5.00", "4.00", "1", "50"};
const QList<int> kStartRegisters{100, 0, 1000, 500, 0, 10, 10, 50, 500, 400, 50, 1, 1};

std::vector<uint16_t> ExampleWith(std::size_t reg, uint16_t value)
{
    auto values = kExample;
    values[reg] = value;
    return values;
}

QByteArray Raw(const std::vector<uint8_t> &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

QStringList FieldTexts(MainWindow &w, int count = 12)
{
    QStringList texts;
    for (ValueBox *field : ValueBoxes(w))
        texts << field->text();
    return texts.mid(0, count);
}

// The output switch as shown: "ON #00ff00".
QString SwitchLook(MainWindow &w)
{
    return QString("%1 %2").arg(Button(w, "outputButton")->text(),
                                Part<QLabel>(w, "outputFrame")->palette().color(QPalette::Window).name());
}

// The 35-byte parameter write of slave 1 carrying `registers`.
QString ParameterFrame(const QList<int> &registers)
{
    std::vector<uint8_t> frame = Bytes("01 10 00 00 00 0D 1A");
    for (int value : registers) {
        frame.push_back(static_cast<uint8_t>(value >> 8));
        frame.push_back(static_cast<uint8_t>(value & 0xFF));
    }
    return Hex(WithCrc(frame));
}

} // namespace

class TstOperations : public QObject {
    Q_OBJECT
private slots:
    void addressChange_data();
    void addressChange();
    void decoding_data();
    void decoding();
    void parameterWrite_data();
    void parameterWrite();
    void parameterField_data();
    void parameterField();
    void baudRateCode_data();
    void baudRateCode();
    void outputSwitch_data();
    void outputSwitch();
    void outputSwitchAfterRead_data();
    void outputSwitchAfterRead();
    void parameterRead_data();
    void parameterRead();
};

void TstOperations::addressChange_data()
{
    QTest::addColumn<QString>("newAddress");  // the new address list
    QTest::addColumn<QString>("slave");       // the slave list
    QTest::addColumn<QString>("sent");        // empty: refused with "参数设置错误！"
    QTest::newRow("5") << "5" << "1" << "00 06 00 00 00 05 48 18 ";
    QTest::newRow("0") << "0" << "1" << Hex(WithCrc("00 06 00 00 00 00"));
    QTest::newRow("255") << "255" << "1" << Hex(WithCrc("00 06 00 00 00 FF"));
    QTest::newRow("blanks around") << " 7 " << "1" << Hex(WithCrc("00 06 00 00 00 07"));
    QTest::newRow("no slave address") << "5" << "" << "00 06 00 00 00 05 48 18 ";
    QTest::newRow("slave address not a number") << "5" << "abc" << "00 06 00 00 00 05 48 18 ";
    QTest::newRow("empty") << "" << "1" << "";
    QTest::newRow("letters") << "abc" << "1" << "";
    QTest::newRow("256") << "256" << "1" << "";
    QTest::newRow("-1") << "-1" << "1" << "";
}

void TstOperations::addressChange()
{
    QFETCH(QString, newAddress);
    QFETCH(QString, slave);
    QFETCH(QString, sent);
    ExchangeWindow w;
    List(*w, "newAddressList")->setEditText(newAddress);
    List(*w, "slaveList")->setEditText(slave);
    Click(*w, "changeAddressButton");
    QCOMPARE(List(*w, "slaveList")->currentText(), slave);
    if (sent.isEmpty()) {
        QCOMPARE(w.messages, QStringList{U8(texts::kParameterError)});
        QVERIFY(w.port.writes.empty());
        QVERIFY(!ReplyTimer(*w)->isActive());
        return;
    }
    QCOMPARE(w.messages, QStringList());
    QCOMPARE(w.Written(), QStringList{sent});
    QCOMPARE(Part<QPlainTextEdit>(*w, "sentBox")->toPlainText(), sent);

    // The module echoes the request: good, and no field changes.
    w.port.Feed(w.port.writes[0]);
    FireReplyTimer(*w);
    QCOMPARE(w.Status(), U8(texts::kReplyGood));
    QCOMPARE(FieldTexts(*w.window, 11), kStartShown);
}

void TstOperations::decoding_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("fields");  // as ValueBoxes() orders them; "-": unchanged
    QTest::addColumn<QString>("moduleBaud");
    QTest::addColumn<QString>("look");  // "-" caption and blue frame: unchanged

    const QStringList none(12, "-");
    auto with = [](QStringList fields, int index, const QString &text) {
        fields[index] = text;
        return fields;
    };
    const QString on = "ON #00ff00";
    QTest::newRow("16 registers") << Raw(ReadReply(kExample)) << kExampleShown << "9600" << on;
    QTest::newRow("output 0") << Raw(ReadReply(ExampleWith(0x0D, 0))) << kExampleShown << "9600"
                              << "OFF #ffffff";
    QTest::newRow("output 2") << Raw(ReadReply(ExampleWith(0x0D, 2))) << kExampleShown << "9600"
                              << "OFF #ffffff";
    QTest::newRow("output 40000") << Raw(ReadReply(ExampleWith(0x0D, 40000))) << kExampleShown << "9600"
                                  << "OFF #ffffff";
    QTest::newRow("baud code 0") << Raw(ReadReply(ExampleWith(0x0C, 0))) << kExampleShown << "4800" << on;
    QTest::newRow("baud code 5") << Raw(ReadReply(ExampleWith(0x0C, 5))) << kExampleShown << "115200" << on;
    QTest::newRow("baud code 6") << Raw(ReadReply(ExampleWith(0x0C, 6))) << kExampleShown << "-" << on;
    QTest::newRow("0A 1F") << Raw(ReadReply(ExampleWith(0x07, 0x0A1F))) << with(kExampleShown, 6, "2591")
                           << "9600" << on;
    QTest::newRow("high word FFFF") << Raw(ReadReply(ExampleWith(0x01, 0xFFFF)))
                                    << with(kExampleShown, 1, "4294936224") << "9600" << on;
    QTest::newRow("1 register, 300") << Raw(ReadReply({300})) << with(none, 0, "30.0") << "-" << "- #0000ff";
    QTest::newRow("5 registers") << Raw(ReadReply({kExample.begin(), kExample.begin() + 5}))
                                 << kExampleShown.mid(0, 4) + none.mid(4) << "-" << "- #0000ff";
    // A function-03 header on 8 bytes passes the check but is no read reply.
    QTest::newRow("24 characters") << Raw(WithCrc("01 03 00 00 00 10")) << none << "-" << "- #0000ff";
}

void TstOperations::decoding()
{
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, fields);
    QFETCH(QString, moduleBaud);
    QFETCH(QString, look);

    ExchangeWindow w;
    for (ValueBox *field : ValueBoxes(*w.window))
        field->setText("-");
    List(*w, "moduleBaudList")->setEditText("-");
    Button(*w, "outputButton")->setText("-");
    QPalette palette = Part<QLabel>(*w, "outputFrame")->palette();
    palette.setColor(QPalette::Window, Qt::blue);
    Part<QLabel>(*w, "outputFrame")->setPalette(palette);

    Click(*w, "readButton");
    w.port.Feed({reply.begin(), reply.end()});
    FireReplyTimer(*w);
    QCOMPARE(w.Status(), U8(texts::kReplyGood));
    QCOMPARE(FieldTexts(*w.window), fields);
    QCOMPARE(List(*w, "moduleBaudList")->currentText(), moduleBaud);
    QCOMPARE(SwitchLook(*w.window), look);
}

void TstOperations::parameterWrite_data()
{
    QTest::addColumn<QStringList>("fields");  // as ValueBoxes() orders them, without the counter
    QTest::addColumn<QString>("moduleBaud");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("slave");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("sent");  // empty: refused

    const QStringList empty(11, "");
    const QStringList emptyShown{"10.0", "1000", "50.0", "0.000", "0.010", "0.010", "50", "2.00", "4.00", "1", "50"};
    const QString emptySent = "01 10 00 00 00 0D 1A 00 64 00 00 03 E8 01 F4 00 00 00 0A 00 0A 00 32 00 C8 01 90 "
                              "00 32 00 01 00 01 62 11 ";
    QTest::newRow("all empty") << empty << "9600" << true << "1" << emptyShown << emptySent;
    QTest::newRow("all at the upper bound")
        << QStringList{"24", "150000", "100", "60", "60", "60", "60000", "10", "20", "4", "1005"} << "115200" << true
        << "1"
        << QStringList{"24.0", "150000", "100.0", "60.000", "60.000", "60.000", "60000", "10.00", "20.00", "4", "1005"}
        << "01 10 00 00 00 0D 1A 00 F0 00 02 49 F0 03 E8 EA 60 EA 60 EA 60 EA 60 03 E8 07 D0 03 ED 00 04 00 05 D9 3F ";
    QTest::newRow("port closed") << empty << "9600" << false << "1" << emptyShown << "";
    QTest::newRow("no slave address") << empty << "9600" << true << "" << emptyShown << "";
}

void TstOperations::parameterWrite()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, moduleBaud);
    QFETCH(bool, open);
    QFETCH(QString, slave);
    QFETCH(QStringList, shown);
    QFETCH(QString, sent);

    ExchangeWindow w(open);
    const auto boxes = ValueBoxes(*w.window);
    for (int i = 0; i < fields.size(); ++i)
        boxes[static_cast<std::size_t>(i)]->setText(fields[i]);
    List(*w, "moduleBaudList")->setEditText(moduleBaud);
    List(*w, "slaveList")->setEditText(slave);
    Click(*w, "writeButton");

    QCOMPARE(FieldTexts(*w.window, 11), shown);
    if (sent.isEmpty()) {
        QCOMPARE(w.messages.size(), 1);
        QVERIFY(w.port.writes.empty());
        QVERIFY(!ReplyTimer(*w)->isActive());
        return;
    }
    QCOMPARE(w.Written(), QStringList{sent});
    QCOMPARE(Part<QPlainTextEdit>(*w, "sentBox")->toPlainText(), sent);

    // The module confirms with slave, 0x10, first register and count: no field changes.
    w.port.Feed(WithCrc("01 10 00 00 00 0D"));
    FireReplyTimer(*w);
    QCOMPARE(w.Status(), U8(texts::kReplyGood));
    QCOMPARE(FieldTexts(*w.window, 11), shown);
}

void TstOperations::parameterField_data()
{
    QTest::addColumn<int>("field");  // as ValueBoxes() orders them
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QList<int>>("registers");

    auto row = [](const char *name, int field, const char *text, const char *shown,
                  std::initializer_list<std::pair<int, int>> changed) {
        QList<int> registers = kStartRegisters;
        for (const auto &[reg, value] : changed)
            registers[reg] = value;
        QTest::newRow(name) << field << text << shown << registers;
    };
    const char *huge = "99999999999999999999";
    row("PWM volt 30", 0, "30", "24.0", {{0, 240}});
    row("PWM volt 0.5", 0, "0.5", "1.0", {{0, 10}});
    row("PWM volt 7.25", 0, "7.25", "7.3", {{0, 73}});
    row("PWM volt .", 0, ".", "10.0", {});
    row("PWM freq 65535", 1, "65535", "65535", {{1, 0}, {2, 65535}});
    row("PWM freq 65536", 1, "65536", "65536", {{1, 1}, {2, 0}});
    row("PWM freq 131072", 1, "131072", "131072", {{1, 2}, {2, 0}});
    row("PWM freq huge", 1, huge, "150000", {{1, 2}, {2, 18928}});
    row("PWM duty negative", 2, "-3", "0.0", {{3, 0}});
    row("pulse delay 1.2.3", 3, "1.2.3", "0.000", {});
    row("pulse high 0", 4, "0", "0.000", {{5, 0}});
    row("pulse high -1", 4, "-1", "0.010", {{5, 10}});
    row("pulse number -5", 6, "-5", "0", {{7, 0}});
    row("pulse number abc", 6, "abc", "50", {});
    row("pulse number huge", 6, huge, "60000", {{7, 60000}});
    row("voltage source 1e3", 7, "1e3", "2.00", {{8, 200}});
    row("work mode 0", 9, "0", "0", {{11, 0}});
    row("work mode 9", 9, "9", "4", {{11, 4}});
    row("sine frequency 50.6", 10, "50.6", "50.6", {{10, 51}});
}

void TstOperations::parameterField()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(QList<int>, registers);
    ExchangeWindow w;
    ValueBoxes(*w.window)[static_cast<std::size_t>(field)]->setText(text);
    Click(*w, "writeButton");
    QStringList expected = kStartShown;
    expected[field] = shown;
    QCOMPARE(FieldTexts(*w.window, 11), expected);
    QCOMPARE(w.Written(), QStringList{ParameterFrame(registers)});
}

void TstOperations::baudRateCode_data()
{
    QTest::addColumn<QStringList>("presses");  // the module baud list's text at each press
    QTest::addColumn<int>("code");             // sent by the last press; -1: it was refused
    QTest::newRow("unknown first: refused") << QStringList{"1234"} << -1;
    QTest::newRow("unknown after a write: refused") << QStringList{"19200", "1234"} << -1;
    QTest::newRow("empty: refused") << QStringList{"57600", ""} << -1;
    QTest::newRow("exact match only") << QStringList{"38400", " 9600"} << -1;
    QTest::newRow("4800 after 115200") << QStringList{"115200", "4800"} << 0;
}

void TstOperations::baudRateCode()
{
    QFETCH(QStringList, presses);
    QFETCH(int, code);
    ExchangeWindow w;
    for (const QString &text : presses) {
        List(*w, "moduleBaudList")->setEditText(text);
        Click(*w, "writeButton");
    }
    if (code < 0) {
        QCOMPARE(w.port.writes.size(), std::size_t(presses.size() - 1));
        QCOMPARE(w.messages, QStringList{U8(texts::kParameterError)});
        return;
    }
    QCOMPARE(w.port.writes.size(), std::size_t(presses.size()));
    const auto &last = w.port.writes.back();
    QCOMPARE(last[31] * 256 + last[32], code);
}

void TstOperations::outputSwitch_data()
{
    QTest::addColumn<bool>("open");
    QTest::newRow("port open") << true;
    QTest::newRow("port closed") << false;
}

void TstOperations::outputSwitch()
{
    QFETCH(bool, open);
    ExchangeWindow w(open);
    QCOMPARE(SwitchLook(*w.window), "OFF #ffffff");
    Click(*w, "outputButton");
    QCOMPARE(SwitchLook(*w.window), "ON #00ff00");
    Click(*w, "outputButton");
    QCOMPARE(SwitchLook(*w.window), "OFF #ffffff");
    if (open) {
        QCOMPARE(w.Written(), (QStringList{"01 06 00 0D 00 01 D9 C9 ", "01 06 00 0D 00 00 18 09 "}));
        QCOMPARE(w.messages, QStringList());
    } else {
        QVERIFY(w.port.writes.empty());
        QCOMPARE(w.messages, QStringList(2, U8(texts::kOpenPortFirst)));
    }
}

void TstOperations::outputSwitchAfterRead_data()
{
    QTest::addColumn<int>("pressesBefore");
    QTest::newRow("button showed OFF") << 0;
    QTest::newRow("button showed ON") << 1;
}

void TstOperations::outputSwitchAfterRead()
{
    QFETCH(int, pressesBefore);
    ExchangeWindow w;
    for (int i = 0; i < pressesBefore; ++i)
        Click(*w, "outputButton");
    Click(*w, "readButton");
    w.port.Feed(ReadReply(kExample));  // 0x000D = 1
    FireReplyTimer(*w);
    QCOMPARE(SwitchLook(*w.window), "ON #00ff00");
    Click(*w, "outputButton");
    QCOMPARE(SwitchLook(*w.window), "OFF #ffffff");
    QCOMPARE(w.Written().last(), "01 06 00 0D 00 00 18 09 ");
}

void TstOperations::parameterRead_data()
{
    QTest::addColumn<bool>("open");
    QTest::newRow("port open") << true;
    QTest::newRow("port closed") << false;
}

void TstOperations::parameterRead()
{
    QFETCH(bool, open);
    ExchangeWindow w(open);
    const QStringList before = FieldTexts(*w.window) << List(*w, "moduleBaudList")->currentText() << SwitchLook(*w.window);
    Click(*w, "readButton");
    if (open) {
        QCOMPARE(w.Written(), QStringList{"01 03 00 00 00 10 44 06 "});
        QCOMPARE(Part<QPlainTextEdit>(*w, "sentBox")->toPlainText(), "01 03 00 00 00 10 44 06 ");
    } else {
        QCOMPARE(w.messages, QStringList{U8(texts::kOpenPortFirst)});
        QVERIFY(w.port.writes.empty());
        w.port.Feed(ReadReply(kExample));
        FireReplyTimer(*w);
        QCOMPARE(FieldTexts(*w.window) << List(*w, "moduleBaudList")->currentText() << SwitchLook(*w.window), before);
    }
}

QTEST_MAIN(TstOperations)
#include "tst_operations.moc"
