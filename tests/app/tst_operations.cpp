// The device operations through the window on a fake port: address change, parameter
// write, output switch, parameter read with its decoding, and the unused polling code.
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

// Text3..Text14 in number order.
std::vector<ValueBox *> Fields(MainWindow &w)
{
    return {w.Text3, w.Text4, w.Text5, w.Text6, w.Text7, w.Text8,
            w.Text9, w.Text10, w.Text11, w.Text12, w.Text13, w.Text14};
}

QStringList FieldTexts(MainWindow &w, int count = 12)
{
    QStringList texts;
    for (ValueBox *field : Fields(w))
        texts << field->text();
    return texts.mid(0, count);
}

// The output switch as shown: "ON #00ff00 1".
QString SwitchLook(MainWindow &w)
{
    return QString("%1 %2 %3")
        .arg(w.Command5->text(), w.Label15[0]->palette().color(QPalette::Window).name())
        .arg(w.OutputFlag);
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
    void poll_data();
    void poll();
    void writeRegister0012_data();
    void writeRegister0012();
};

void TstOperations::addressChange_data()
{
    QTest::addColumn<QString>("newAddress");  // Combo_Addr(0)
    QTest::addColumn<QString>("slave");       // Combo_Addr(2)
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
    w->Combo_Addr[0]->setEditText(newAddress);
    w->Combo_Addr[2]->setEditText(slave);
    w->Command_OK1_Click();
    QCOMPARE(w->Combo_Addr[2]->currentText(), slave);
    if (sent.isEmpty()) {
        QCOMPARE(w.messages, QStringList{U8(texts::kParameterError)});
        QVERIFY(w.port.writes.empty());
        QVERIFY(!w->Timer1->isActive());
        return;
    }
    QCOMPARE(w.messages, QStringList());
    QCOMPARE(w.Written(), QStringList{sent});
    QCOMPARE(w->Text1[0]->toPlainText(), sent);

    // The module echoes the request: good, and no field changes.
    w.port.Feed(w.port.writes[0]);
    w->Timer1_Timer();
    QCOMPARE(w.Status(), U8(texts::kReplyGood));
    QCOMPARE(FieldTexts(*w.window, 11), kStartShown);
}

void TstOperations::decoding_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("fields");  // Text3..Text14; "-": unchanged
    QTest::addColumn<QString>("combo6");
    QTest::addColumn<QString>("look");  // "-" caption, blue frame and 9: unchanged

    const QStringList none(12, "-");
    auto with = [](QStringList fields, int index, const QString &text) {
        fields[index] = text;
        return fields;
    };
    const QString on = "ON #00ff00 1";
    QTest::newRow("16 registers") << Raw(ReadReply(kExample)) << kExampleShown << "9600" << on;
    QTest::newRow("output 0") << Raw(ReadReply(ExampleWith(0x0D, 0))) << kExampleShown << "9600"
                              << "OFF #ffffff 0";
    QTest::newRow("output 2") << Raw(ReadReply(ExampleWith(0x0D, 2))) << kExampleShown << "9600"
                              << "OFF #ffffff 2";
    QTest::newRow("output 40000") << Raw(ReadReply(ExampleWith(0x0D, 40000))) << kExampleShown << "9600"
                                  << "OFF #ffffff 40000";
    QTest::newRow("baud code 0") << Raw(ReadReply(ExampleWith(0x0C, 0))) << kExampleShown << "4800" << on;
    QTest::newRow("baud code 5") << Raw(ReadReply(ExampleWith(0x0C, 5))) << kExampleShown << "115200" << on;
    QTest::newRow("baud code 6") << Raw(ReadReply(ExampleWith(0x0C, 6))) << kExampleShown << "-" << on;
    QTest::newRow("0A 1F") << Raw(ReadReply(ExampleWith(0x07, 0x0A1F))) << with(kExampleShown, 6, "2591")
                           << "9600" << on;
    QTest::newRow("high word FFFF") << Raw(ReadReply(ExampleWith(0x01, 0xFFFF)))
                                    << with(kExampleShown, 1, "4294936224") << "9600" << on;
    QTest::newRow("1 register, 300") << Raw(ReadReply({300})) << with(none, 0, "30.0") << "-" << "- #0000ff 9";
    QTest::newRow("5 registers") << Raw(ReadReply({kExample.begin(), kExample.begin() + 5}))
                                 << kExampleShown.mid(0, 4) + none.mid(4) << "-" << "- #0000ff 9";
    // A function-03 header on 8 bytes passes the check but is no read reply.
    QTest::newRow("24 characters") << Raw(WithCrc("01 03 00 00 00 10")) << none << "-" << "- #0000ff 9";
}

void TstOperations::decoding()
{
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, fields);
    QFETCH(QString, combo6);
    QFETCH(QString, look);

    ExchangeWindow w;
    for (ValueBox *field : Fields(*w.window))
        field->setText("-");
    w->Combo6->setEditText("-");
    w->Command5->setText("-");
    QPalette palette = w->Label15[0]->palette();
    palette.setColor(QPalette::Window, Qt::blue);
    w->Label15[0]->setPalette(palette);
    w->OutputFlag = 9;

    w->Command3_Click();
    w.port.Feed({reply.begin(), reply.end()});
    w->Timer1_Timer();
    QCOMPARE(w.Status(), U8(texts::kReplyGood));
    QCOMPARE(FieldTexts(*w.window), fields);
    QCOMPARE(w->Combo6->currentText(), combo6);
    QCOMPARE(SwitchLook(*w.window), look);
}

void TstOperations::parameterWrite_data()
{
    QTest::addColumn<QStringList>("fields");  // Text3..Text13
    QTest::addColumn<QString>("combo6");
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
    QFETCH(QString, combo6);
    QFETCH(bool, open);
    QFETCH(QString, slave);
    QFETCH(QStringList, shown);
    QFETCH(QString, sent);

    ExchangeWindow w(open);
    const auto boxes = Fields(*w.window);
    for (int i = 0; i < fields.size(); ++i)
        boxes[static_cast<std::size_t>(i)]->setText(fields[i]);
    w->Combo6->setEditText(combo6);
    w->Combo_Addr[2]->setEditText(slave);
    w->Command2_Click();

    QCOMPARE(FieldTexts(*w.window, 11), shown);
    if (sent.isEmpty()) {
        QCOMPARE(w.messages.size(), 1);
        QVERIFY(w.port.writes.empty());
        QVERIFY(!w->Timer1->isActive());
        return;
    }
    QCOMPARE(w.Written(), QStringList{sent});
    QCOMPARE(w->Text1[0]->toPlainText(), sent);

    // The module confirms with slave, 0x10, first register and count: no field changes.
    w.port.Feed(WithCrc("01 10 00 00 00 0D"));
    w->Timer1_Timer();
    QCOMPARE(w.Status(), U8(texts::kReplyGood));
    QCOMPARE(FieldTexts(*w.window, 11), shown);
}

void TstOperations::parameterField_data()
{
    QTest::addColumn<int>("field");  // 0 is Text3, 10 is Text13
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
    row("Text3 30", 0, "30", "24.0", {{0, 240}});
    row("Text3 0.5", 0, "0.5", "1.0", {{0, 10}});
    row("Text3 7.25", 0, "7.25", "7.3", {{0, 73}});
    row("Text3 .", 0, ".", "10.0", {});
    row("Text4 65535", 1, "65535", "65535", {{1, 0}, {2, 65535}});
    row("Text4 65536", 1, "65536", "65536", {{1, 1}, {2, 0}});
    row("Text4 131072", 1, "131072", "131072", {{1, 2}, {2, 0}});
    row("Text4 huge", 1, huge, "150000", {{1, 2}, {2, 18928}});
    row("Text5 negative", 2, "-3", "0.0", {{3, 0}});
    row("Text6 1.2.3", 3, "1.2.3", "0.000", {});
    row("Text7 0", 4, "0", "0.000", {{5, 0}});
    row("Text7 -1", 4, "-1", "0.010", {{5, 10}});
    row("Text9 -5", 6, "-5", "0", {{7, 0}});
    row("Text9 abc", 6, "abc", "50", {});
    row("Text9 huge", 6, huge, "60000", {{7, 60000}});
    row("Text10 1e3", 7, "1e3", "2.00", {{8, 200}});
    row("Text12 0", 9, "0", "0", {{11, 0}});
    row("Text12 9", 9, "9", "4", {{11, 4}});
    row("Text13 50.6", 10, "50.6", "50.6", {{10, 51}});
}

void TstOperations::parameterField()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(QList<int>, registers);
    ExchangeWindow w;
    Fields(*w.window)[static_cast<std::size_t>(field)]->setText(text);
    w->Command2_Click();
    QStringList expected = kStartShown;
    expected[field] = shown;
    QCOMPARE(FieldTexts(*w.window, 11), expected);
    QCOMPARE(w.Written(), QStringList{ParameterFrame(registers)});
}

void TstOperations::baudRateCode_data()
{
    QTest::addColumn<QStringList>("presses");  // the text of Combo6 at each press
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
        w->Combo6->setEditText(text);
        w->Command2_Click();
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
    QCOMPARE(SwitchLook(*w.window), "OFF #ffffff 0");
    w->Command5_Click();
    QCOMPARE(SwitchLook(*w.window), "ON #00ff00 1");
    w->Command5_Click();
    QCOMPARE(SwitchLook(*w.window), "OFF #ffffff 0");
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
        w->Command5_Click();
    w->Command3_Click();
    w.port.Feed(ReadReply(kExample));  // 0x000D = 1
    w->Timer1_Timer();
    QCOMPARE(SwitchLook(*w.window), "ON #00ff00 1");
    w->Command5_Click();
    QCOMPARE(SwitchLook(*w.window), "OFF #ffffff 0");
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
    w->Timer2->start();
    const QStringList before = FieldTexts(*w.window) << w->Combo6->currentText() << SwitchLook(*w.window);
    w->Command3_Click();
    QVERIFY(!w->Timer2->isActive());
    if (open) {
        QCOMPARE(w.Written(), QStringList{"01 03 00 00 00 10 44 06 "});
        QCOMPARE(w->Text1[0]->toPlainText(), "01 03 00 00 00 10 44 06 ");
    } else {
        QCOMPARE(w.messages, QStringList{U8(texts::kOpenPortFirst)});
        QVERIFY(w.port.writes.empty());
        w.port.Feed(ReadReply(kExample));
        w->Timer1_Timer();
        QCOMPARE(FieldTexts(*w.window) << w->Combo6->currentText() << SwitchLook(*w.window), before);
    }
}

void TstOperations::poll_data()
{
    QTest::addColumn<QString>("timer");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("slave");
    QTest::addColumn<QString>("message");  // empty: the read goes out
    QTest::addColumn<bool>("timer2After");
    const QString closed = U8(texts::kOpenPortFirst);
    QTest::newRow("Timer2, port closed") << "Timer2" << false << "1" << closed << false;
    QTest::newRow("Timer2, no slave address") << "Timer2" << true << "" << U8(texts::kAddressNotSet) << false;
    QTest::newRow("Timer2, slave address x") << "Timer2" << true << "x" << U8(texts::kAddressNotSet) << false;
    QTest::newRow("Timer2, slave 1") << "Timer2" << true << "1" << "" << true;
    QTest::newRow("Timer3, port closed") << "Timer3" << false << "1" << closed << false;
    QTest::newRow("Timer3, no slave address") << "Timer3" << true << "" << U8(texts::kParameterError) << false;
    QTest::newRow("Timer3, slave 1") << "Timer3" << true << "1" << "" << false;
}

// Timer2 reads on every tick until a refusal stops it; Timer3 reads once and stops whatever
// happened. Both ask for the read button's block, so the reply is judged and decoded alike.
void TstOperations::poll()
{
    QFETCH(QString, timer);
    QFETCH(bool, open);
    QFETCH(QString, slave);
    QFETCH(QString, message);
    QFETCH(bool, timer2After);
    ExchangeWindow w(open);
    w->Combo_Addr[2]->setEditText(slave);
    w->Timer2->start();
    if (timer == "Timer2") {
        w->Timer2_Timer();
    } else {
        w->Timer3->start();
        w->Timer3_Timer();
    }
    QCOMPARE(w->Timer2->isActive(), timer2After);
    QVERIFY(!w->Timer3->isActive());
    if (!message.isEmpty()) {
        QCOMPARE(w.messages, QStringList{message});
        QVERIFY(w.port.writes.empty());
        QVERIFY(!w->Timer1->isActive());
        return;
    }
    QCOMPARE(w.Written(), QStringList{"01 03 00 00 00 10 44 06 "});
    w.port.Feed(ReadReply(kExample));
    w->Timer1_Timer();
    QCOMPARE(w.Status(), U8(texts::kReplyGood));
    QCOMPARE(FieldTexts(*w.window), kExampleShown);
}

void TstOperations::writeRegister0012_data()
{
    QTest::addColumn<int>("outputFlag");
    QTest::addColumn<QString>("sent");
    QTest::newRow("output off") << 0 << Hex(WithCrc("01 06 00 12 00 01"));
    QTest::newRow("output on") << 1 << "";
}

void TstOperations::writeRegister0012()
{
    QFETCH(int, outputFlag);
    QFETCH(QString, sent);
    ExchangeWindow w;
    w->OutputFlag = outputFlag;
    w->Text2->setPlainText("old");
    w->WriteRegister0012AndReadBack();
    QVERIFY(w->Timer3->isActive());
    QCOMPARE(w.Written(), sent.isEmpty() ? QStringList() : QStringList{sent});
    QCOMPARE(w->Timer1->isActive(), !sent.isEmpty());
    QCOMPARE(w->Text2->toPlainText(), "old");  // the "Rece:" field is not cleared here
}

QTEST_MAIN(TstOperations)
#include "tst_operations.moc"
