// The device operations through the window on a fake port, one wiring test each: address
// change, parameter write, output switch, parameter read with its decoding. The logic they
// wire is held by its own tables: frames and addresses in tst_frames, the parameter rows in
// tst_parameters, decoding in tst_reply_decoding, the exchange in tst_exchange.
#include "app/preset_panel.h"
#include "device/parameter_table.h"
#include "device/parameters.h"
#include "support/exchange_window.h"
#include "support/module_frames.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

const QStringList kExampleShown{"24.0", "100000", "50.0", "0.000", "1.000", "1.000",
                                "50",   "6.00",   "8.00", "1",     "50",    "7"};

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

} // namespace

class TstOperations : public QObject {
    Q_OBJECT
private slots:
    void eachOperation_data();
    void eachOperation();
    void addressChange_data();
    void addressChange();
    void decoding_data();
    void decoding();
    void parameterWrite_data();
    void parameterWrite();
    void everyNumberRowWrittenAndSaved();
    void baudRateCode_data();
    void baudRateCode();
    void outputSwitch_data();
    void outputSwitch();
    void outputSwitchAfterRead_data();
    void outputSwitchAfterRead();
    void parameterRead();
};

// Each operation with the port closed empties the status row and refuses with a box; with
// the port open it goes out through the exchange: one frame, then the pause, then the
// reply timer, and a click during the pause waits for its end.
void TstOperations::eachOperation_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<int>("slaveByte");  // byte 0 of the request with " 254 " in the slave list
    QTest::newRow("address change") << "changeAddressButton" << 0;
    QTest::newRow("write") << "writeButton" << 254;
    QTest::newRow("read") << "readButton" << 254;
    QTest::newRow("switch") << "outputButton" << 254;
}

void TstOperations::eachOperation()
{
    QFETCH(QString, handler);
    QFETCH(int, slaveByte);
    const QByteArray button = handler.toLatin1();
    {
        ExchangeWindow w(false);
        for (const char *display : {"statusBox", "sentBox", "receivedBox"})
            Part<QPlainTextEdit>(*w, display)->setPlainText("old");
        Click(*w, button);
        QCOMPARE(w.messages, QStringList{U8(texts::kOpenPortFirst)});
        for (const char *display : {"statusBox", "sentBox", "receivedBox"})
            QCOMPARE(Shown(*w, display), QString());
        QVERIFY(w.port.writes.empty() && w.pauses.empty() && !ReplyDue(*w));
    }
    ExchangeWindow w;
    List(*w, "slaveList")->setEditText("");
    Click(*w, button);
    QCOMPARE(w.port.writes.size(), slaveByte ? 0u : 1u);  // the address change sends to all
    QCOMPARE(w.messages, slaveByte ? QStringList{U8(texts::kParameterError)} : QStringList());
    FireReplyTimer(*w);
    w.messages.clear();
    w.port.writes.clear();
    w.pauses.clear();
    List(*w, "slaveList")->setEditText(" 254 ");
    w.holdPauses = true;
    Click(*w, button);
    Click(*w, "readButton");
    QCOMPARE(w.port.writes.size(), 1u);
    QCOMPARE(int(w.port.writes[0][0]), slaveByte);
    QCOMPARE(w.pauses.size(), 1u);
    QCOMPARE(w.pauses[0].ms, 100);
    QCOMPARE(w.pauses[0].writesBefore, 1u);
    QVERIFY(!w.pauses[0].replyCheckRunning);
    w.ReleasePause();
    QCOMPARE(w.port.writes.size(), 2u);
    QCOMPARE(w.Written().last(), ReadRequestText(0xFE) + ' ');
    w.ReleasePause();
    QVERIFY(ReplyTimer(*w)->isActive());
    QCOMPARE(w.messages, QStringList());
}

void TstOperations::addressChange_data()
{
    QTest::addColumn<QString>("newAddress");  // the new address list
    QTest::addColumn<QString>("slave");       // the slave list
    QTest::addColumn<QString>("sent");        // empty: refused with "参数设置错误！"
    QTest::newRow("5") << "5" << "1" << Hex(AddressChangeRequest(5));
    QTest::newRow("255, blanks around") << " 255 " << "1" << Hex(AddressChangeRequest(255));
    QTest::newRow("slave address not a number") << "5" << "abc" << Hex(AddressChangeRequest(5));
    QTest::newRow("256") << "256" << "1" << "";
}

void TstOperations::addressChange()
{
    QFETCH(QString, newAddress);
    QFETCH(QString, slave);
    QFETCH(QString, sent);
    ExchangeWindow w;
    const QStringList before = FieldTexts(*w.window);
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
    QCOMPARE(FieldTexts(*w.window), before);
}

void TstOperations::decoding_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("fields");  // as ValueBoxes() orders them; "-": unchanged
    QTest::addColumn<QString>("moduleBaud");
    QTest::addColumn<QString>("look");  // "-" caption and blue frame: unchanged

    const QStringList none(12, "-");
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
    QTest::newRow("5 registers") << Raw(ReadReply({kExample.begin(), kExample.begin() + 5}))
                                 << kExampleShown.mid(0, 4) + none.mid(4) << "-" << "- #0000ff";
    // A function-03 header on 8 bytes (the request's echo) passes the check but is no read reply.
    QTest::newRow("24 characters") << Raw(modbus::BuildReadRequest(1, device::kReadBlockFirst, device::kReadBlockCount))
                                   << none << "-" << "- #0000ff";
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
    QTest::addColumn<QStringList>("fields");  // as ValueBoxes() orders them, without the counter; none: as at start
    QTest::addColumn<QString>("moduleBaud");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("slave");
    QTest::addColumn<QStringList>("shown");  // none: as at start
    QTest::addColumn<QString>("sent");       // empty: refused

    const QStringList empty(11, "");
    const QStringList emptyShown{"10.0", "1000", "50.0", "0.000", "0.010", "0.010", "50", "2.00", "4.00", "1", "50"};
    QTest::newRow("start values") << QStringList() << "9600" << true << "1" << QStringList()
                                  << Hex(device::BuildParameterWriteRequest(1, kModuleStart));
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
    PINS_KNOWN_GOOD();
    QFETCH(QStringList, fields);
    QFETCH(QString, moduleBaud);
    QFETCH(bool, open);
    QFETCH(QString, slave);
    QFETCH(QStringList, shown);
    QFETCH(QString, sent);

    ExchangeWindow w(open);
    if (shown.isEmpty())
        shown = FieldTexts(*w.window, 11);
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

// Every settable number row, whether in the block or written on its own: the write button
// sends its value (a row of its own in a request of its own once the block is confirmed),
// and Ctrl+S saves it.
void TstOperations::everyNumberRowWrittenAndSaved()
{
    ExchangeWindow w;
    device::Registers expected{};
    QJsonObject saved;
    for (const device::Parameter &p : device::kParameters) {
        if (p.coding != device::Coding::Number || !device::IsSettable(p))
            continue;
        Part<ValueBox>(*w, qPrintable(RowName(p.key) + "Box"))->setText(QString::fromLatin1(p.high));
        device::ApplyValue(p, p.high, expected);
        saved.insert(QLatin1String(p.key), QString::fromLatin1(p.high).toDouble());
    }
    Click(*w, "writeButton");
    device::Registers sent{};
    for (std::size_t answered = 0; answered < w.port.writes.size(); ++answered) {
        const std::vector<uint8_t> frame = w.port.writes[answered];
        const int first = frame[2] << 8 | frame[3];
        if (frame[1] == 0x06) {
            sent[first] = static_cast<uint16_t>(frame[4] << 8 | frame[5]);
            w.port.Feed(frame);
        } else {
            for (int i = 0; i < (frame[4] << 8 | frame[5]); ++i)
                sent[first + i] = static_cast<uint16_t>(frame[7 + 2 * i] << 8 | frame[8 + 2 * i]);
            w.port.Feed(WithCrc(std::vector<uint8_t>(frame.begin(), frame.begin() + 6)));
        }
        FireReplyTimer(*w);
    }
    for (const device::Parameter &p : device::kParameters) {
        if (p.coding == device::Coding::Number && device::IsSettable(p))
            QCOMPARE(QString::fromStdString(device::ShownValue(p, sent)),
                     QString::fromStdString(device::ShownValue(p, expected)));
    }

    QTemporaryDir dir;
    const QString path = dir.filePath("set.json");
    w->m_chooseSaveFile = [&path] { return path; };
    w->findChild<PresetPanel *>()->saveParameterSet();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject set = QJsonDocument::fromJson(file.readAll()).object();
    for (auto it = saved.begin(); it != saved.end(); ++it)
        QCOMPARE(set.value(it.key()).toDouble(), it.value().toDouble());
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
    const std::size_t at = 7 + 2 * std::size_t(device::BaudRateCode - device::kParameterBlockFirst);
    QCOMPARE(last[at] * 256 + last[at + 1], code);
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
        QCOMPARE(w.Written(), (QStringList{Hex(OutputRequest(true)), Hex(OutputRequest(false))}));
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
    QCOMPARE(w.Written().last(), Hex(OutputRequest(false)));
}

// A read refused (the port closed) lets no reply that comes anyway change a field.
void TstOperations::parameterRead()
{
    ExchangeWindow w(false);
    const QStringList before = FieldTexts(*w.window) << List(*w, "moduleBaudList")->currentText() << SwitchLook(*w.window);
    Click(*w, "readButton");
    w.port.Feed(ReadReply(kExample));
    FireReplyTimer(*w);
    QCOMPARE(FieldTexts(*w.window) << List(*w, "moduleBaudList")->currentText() << SwitchLook(*w.window), before);
}

QTEST_MAIN(TstOperations)
#include "tst_operations.moc"
