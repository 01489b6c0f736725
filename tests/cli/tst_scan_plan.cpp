// What a scan asks and how long it waits, and the --port text of a TCP line.
#include "modbus/scan_plan.h"
#include "serial/port_names.h"

#include <QtTest>

class TstScanPlan : public QObject {
    Q_OBJECT
private slots:
    void texts_data();
    void texts();
    void answerTimeout();
    void frameSilence();
};

// Each row: the parser, its input, and what it gives ("-": refused).
void TstScanPlan::texts_data()
{
    QTest::addColumn<QString>("parser");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");
    const std::pair<const char *, const char *> slaves[] = {
        {"1-247", "1-247"}, {"7", "7-7"}, {" 2 - 9 ", "2-9"}, {"1-255", "1-255"}, {"9-2", "-"},
        {"0-5", "-"},       {"1-256", "-"}, {"", "-"},       {"a-b", "-"},      {"1-2-3", "-"}};
    for (const auto &[text, result] : slaves)
        QTest::addRow("slaves \"%s\"", text) << "slaves" << text << result;
    const std::pair<const char *, const char *> lists[] = {
        {"3,5,10-12", "3 5 10 11 12"}, {"7", "7"}, {"5,3-6", "5 3 4 6"}, {"3,,5", "-"}, {"3,", "-"}, {"0,3", "-"}};
    for (const auto &[text, result] : lists)
        QTest::addRow("slave list \"%s\"", text) << "list" << text << result;
    const std::pair<const char *, const char *> rates[] = {
        {"all", "4800 9600 19200 38400 57600 115200"}, {"19200,4800", "19200 4800"}, {"9600,9600", "9600"},
        {"9600,1200", "-"}, {"9600,", "-"}, {"", "-"}, {" 9600", "-"}};
    for (const auto &[text, result] : rates)
        QTest::addRow("bauds \"%s\"", text) << "bauds" << text << result;
    // addresses only parsed, never dialled (network_rule.sh passes lines that say so)
    const std::pair<const char *, const char *> tcp[] = {
        {"tcp://127.0.0.1:502", "127.0.0.1 502"}, {"tcp://gw.local:4001", "gw.local 4001"},  // never dialled
        {"tcp://[::1]:502", "::1 502"}, {"tcp://::1:502", "-"}, {"tcp://host:0", "-"},         // never dialled
        {"tcp://host:65536", "-"}, {"tcp://host", "-"}, {"tcp://:502", "-"}, {"udp://h:1", "-"}}; // never dialled
    for (const auto &[text, result] : tcp)
        QTest::addRow("port \"%s\"", text) << "tcp" << text << result;
}

void TstScanPlan::texts()
{
    QFETCH(QString, parser);
    QFETCH(QString, text);
    QFETCH(QString, result);
    QString got = "-";
    if (parser == "slaves") {
        if (const auto range = modbus::ParseSlaveRange(text.toStdString()))
            got = QString("%1-%2").arg(range->first).arg(range->last);
    } else if (parser == "list") {
        if (const auto list = modbus::ParseSlaveList(text.toStdString())) {
            QStringList addresses;
            for (int address : *list)
                addresses << QString::number(address);
            got = addresses.join(' ');
        }
    } else if (parser == "bauds") {
        if (const auto list = modbus::ParseRateList(text.toStdString(), {4800, 9600, 19200, 38400, 57600, 115200})) {
            QStringList rates;
            for (int rate : *list)
                rates << QString::number(rate);
            got = rates.join(' ');
        }
    } else if (const auto address = serial::ParseTcpAddress(text.toStdString())) {
        got = QString::fromStdString(address->host) + ' ' + QString::number(address->port);
    }
    QCOMPARE(got, result);
}

// 8-byte request, 7-byte reply and two 3.5-character silences: 22 characters of 10 bits.
void TstScanPlan::answerTimeout()
{
    QCOMPARE(modbus::AnswerTimeout(9600, 8, 7).count(), 23 + 50);  // 22.9 ms rounded up
    QCOMPARE(modbus::AnswerTimeout(4800, 8, 7).count(), 46 + 50);
    QCOMPARE(modbus::AnswerTimeout(115200, 8, 7).count(), 2 + 50);
    // a full scan of 247 silent addresses at 9600 fits in 30 s
    QVERIFY(247 * modbus::AnswerTimeout(9600, 8, 7).count() < 30000);
}

// 3.5 characters, and 1.75 ms above 19200 baud.
void TstScanPlan::frameSilence()
{
    QCOMPARE(modbus::FrameSilence(9600).count(), 3646);
    QCOMPARE(modbus::FrameSilence(4800).count(), 7292);
    QCOMPARE(modbus::FrameSilence(19200).count(), 1823);
    QCOMPARE(modbus::FrameSilence(9600, 11).count(), 4011);
    QCOMPARE(modbus::FrameSilence(38400).count(), 1750);
    QCOMPARE(modbus::FrameSilence(115200).count(), 1750);
}

QTEST_MAIN(TstScanPlan)
#include "tst_scan_plan.moc"
