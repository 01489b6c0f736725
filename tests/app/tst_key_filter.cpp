#include "app/key_filter.h"

#include <QtTest>

class TstKeyFilter : public QObject {
    Q_OBJECT
private slots:
    void pwmKey_data();
    void pwmKey();
};

void TstKeyFilter::pwmKey_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("passes");
    QTest::newRow("point") << int('.') << true;
    QTest::newRow("0") << int('0') << true;
    QTest::newRow("9") << int('9') << true;
    QTest::newRow("slash") << int('/') << false;
    QTest::newRow("minus") << int('-') << false;
    QTest::newRow("colon") << int(':') << false;
    QTest::newRow("backspace") << 8 << false;
    QTest::newRow("wide character") << 0x4E2D << false;
}

void TstKeyFilter::pwmKey()
{
    QFETCH(int, code);
    QFETCH(bool, passes);
    QCOMPARE(int(app::FilterPwmKey(static_cast<uint16_t>(code))), passes ? code : 0);
}

QTEST_APPLESS_MAIN(TstKeyFilter)
#include "tst_key_filter.moc"
