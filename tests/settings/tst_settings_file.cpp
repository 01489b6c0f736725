#include "settings/settings_file.h"

#include <QtTest>

class TstSettingsFile : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void format();
    void portIndex_data();
    void portIndex();
};

void TstSettingsFile::parse_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("port");  // "-": line missing
    QTest::addColumn<QString>("baud");
    QTest::newRow("as written") << QByteArray("3\r\n9600\r\n") << "3" << "9600";
    QTest::newRow("LF only") << QByteArray("1\n115200\n") << "1" << "115200";
    QTest::newRow("no last terminator") << QByteArray("5\r\n38400") << "5" << "38400";
    QTest::newRow("more lines") << QByteArray("2\r\n4800\r\n7\r\n") << "2" << "4800";
    QTest::newRow("one line") << QByteArray("3\r\n") << "3" << "-";
    QTest::newRow("empty file") << QByteArray() << "-" << "-";
    QTest::newRow("CR only") << QByteArray("3\r19200\r") << "3" << "19200";
}

void TstSettingsFile::parse()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, port);
    QFETCH(QString, baud);
    const settings::StoredSettings settings = settings::ParseSettings(content.toStdString());
    QCOMPARE(QString::fromStdString(settings.portText.value_or("-")), port);
    QCOMPARE(QString::fromStdString(settings.baudText.value_or("-")), baud);
}

void TstSettingsFile::format()
{
    QCOMPARE(settings::FormatSettings(5, "38400"), std::string("5\r\n38400\r\n"));
    QCOMPARE(settings::FormatSettings(0, "14400"), std::string("0\r\n14400\r\n"));
    const settings::StoredSettings back = settings::ParseSettings(settings::FormatSettings(9, "57600"));
    QCOMPARE(back.portText.value_or(""), std::string("9"));
    QCOMPARE(back.baudText.value_or(""), std::string("57600"));
}

void TstSettingsFile::portIndex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("index");
    QTest::newRow("3") << "3" << 2;
    QTest::newRow("1") << "1" << 0;
    QTest::newRow("9, the last item") << "9" << 8;
    QTest::newRow("0") << "0" << -1;
    QTest::newRow("12, no such item") << "12" << -1;
    QTest::newRow("very long") << "123456789012345678901234567890" << -1;
    QTest::newRow("negative") << "-2" << -1;
    QTest::newRow("not a number") << "COM3" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("blanks, sign, trailing text") << "  +4xyz" << 3;
    QTest::newRow("fraction rounds down") << "2.4" << 1;
    // the index is value - 1 rounded halves to even: 2.5 - 1 = 1.5 gives 2, 3.5 - 1 = 2.5 gives 2
    QTest::newRow("half to even up") << "2.5" << 2;
    QTest::newRow("half to even down") << "3.5" << 2;
    QTest::newRow("just above half") << "3.5000001" << 3;
    QTest::newRow("0.5 gives item 0") << "0.5" << 0;
    QTest::newRow("point alone") << "." << -1;
}

void TstSettingsFile::portIndex()
{
    QFETCH(QString, text);
    QFETCH(int, index);
    QCOMPARE(settings::PortIndexFromText(text.toStdString(), 9), index);
}

QTEST_APPLESS_MAIN(TstSettingsFile)
#include "tst_settings_file.moc"
