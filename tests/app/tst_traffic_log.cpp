// The traffic log as the window writes it: one line per request and one per reply check,
// with the bytes and what they were judged to be (every verdict: tst_byte_exchange).
#include "app/traffic_tap.h"
#include "modbus/traffic_log.h"
#include "support/exchange_window.h"

#include <QtTest>

class TstTrafficLog : public QObject {
    Q_OBJECT
private slots:
    void window_data();
    void window();
};

void TstTrafficLog::window_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<Pieces>("reply");
    QTest::addColumn<QString>("rx");  // the reply line after the time
    const auto read = ReadReply(kExample);
    auto badCrc = read;
    badCrc.back() ^= 0xFF;
    QTest::newRow("good") << "readButton" << Pieces{read} << "rx " + Hex(read).trimmed() + " : good";
    QTest::newRow("silence") << "readButton" << Pieces{} << "rx - : no reply";
    QTest::newRow("incomplete") << "readButton" << Pieces{Bytes("0103200000")} << "rx 01 03 20 00 00 : incomplete reply";
    QTest::newRow("bad CRC") << "readButton" << Pieces{badCrc} << "rx " + Hex(badCrc).trimmed() + " : bad CRC";
    // where the window's rule judges otherwise, its verdict stands beside the strict one
    QTest::newRow("short, window good") << "readButton" << Pieces{WithCrc("0103020064")}
                                        << "rx " + Hex(WithCrc("0103020064")).trimmed() + " : incomplete reply (window: good)";
    QTest::newRow("broadcast") << "changeAddressButton" << Pieces{} << "rx - : none expected (window: bad)";
}

void TstTrafficLog::window()
{
    QFETCH(QString, button);
    QFETCH(Pieces, reply);
    QFETCH(QString, rx);
    ExchangeWindow w;
    QFile old("traffic.log");
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("earlier line\n");
    old.close();
    modbus::TrafficLog log;
    QVERIFY(log.Open("traffic.log"));
    TapTraffic(*w.window, log);
    List(*w, "newAddressList")->setEditText("5");
    List(*w, "slaveList")->setEditText("1");
    QMetaObject::invokeMethod(w->findChild<QPushButton *>(button), "click");
    w.Feed(reply);
    FireReplyTimer(*w);

    QFile file("traffic.log");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QString("earlier line"));
    const QRegularExpression time("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} ");
    QVERIFY2(lines[1].contains(time) && lines[2].contains(time), qPrintable(lines.join('\n')));
    QCOMPARE(lines[1].mid(24), "tx " + Part<QPlainTextEdit>(*w, "sentBox")->toPlainText().trimmed());
    QCOMPARE(lines[2].mid(24), rx);
}

QTEST_MAIN(TstTrafficLog)
#include "tst_traffic_log.moc"
