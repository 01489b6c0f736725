// The window in another language: every caption fits its place, and the port, the parity
// letter and the output switch work whatever the captions say.
#include "app/language.h"
#include "support/exchange_window.h"

#include <QStyleOptionButton>
#include <QtTest>

namespace {

QString Tr(const char *source)
{
    return QCoreApplication::translate(texts::kTextContext, source);
}

// Every text on the window that is wider than its room, with both figures in pixels. A
// caption's room reaches to the next control on its right, or to the edge of its parent.
QMap<QString, QString> Overflows(MainWindow &w)
{
    QMap<QString, QString> found;
    auto check = [&found](QWidget *widget, const QStringList &shown, int room) {
        for (const QString &text : shown) {
            const int width = QFontMetrics(widget->font()).horizontalAdvance(text);
            if (width > room)
                found[widget->objectName()] += QString("\"%1\": %2 > %3; ").arg(text).arg(width).arg(room);
        }
    };
    for (QLabel *label : w.findChildren<QLabel *>()) {
        QWidget *parent = label->parentWidget();
        int room = parent->width() - label->x();
        for (QWidget *next : parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            const QRect g = next->geometry();
            if (g.left() > label->x() && g.top() <= label->geometry().bottom() && g.bottom() >= label->y())
                room = std::min(room, g.left() - label->x());
        }
        check(label, {label->text()}, room);
    }
    for (QGroupBox *group : w.findChildren<QGroupBox *>())
        check(group, {group->title()}, group->width() - 16);  // the title's inset at both ends
    const std::pair<QPushButton *, QStringList> buttons[] = {
        {w.Command1, {Tr(texts::kPortClosedCaption), Tr(texts::kPortOpenCaption)}},
        {w.Command5, {texts::kOn, texts::kOff}}, {w.Command2, {w.Command2->text()}},
        {w.Command3, {w.Command3->text()}}, {w.Command_OK1, {w.Command_OK1->text()}}};
    for (const auto &[button, shown] : buttons) {
        QStyleOptionButton option;
        option.initFrom(button);
        check(button, shown, button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width());
    }
    for (QComboBox *list : w.findChildren<QComboBox *>()) {
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->itemText(i);
        check(list, items, list->lineEdit()->width() - 4);  // the line edit's own margins
    }
    const int statusRoom = w.Message_Show->viewport()->width() - 2 * int(w.Message_Show->document()->documentMargin());
    check(w.Message_Show, {Tr(texts::kReplyGood), Tr(texts::kReplyBad)}, statusRoom);
    return found;
}

} // namespace

class TstLanguage : public QObject {
    Q_OBJECT
private slots:
    void captionsFit_data();
    void captionsFit();
    void operationsInEnglish();
};

void TstLanguage::captionsFit_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("portCaption");
    QTest::addColumn<QStringList>("tooNarrow");
    // The lists of the communication group are 65 pixels wide: "115200" and the Chinese
    // parity items lose a few pixels at their right end (the fixed layout).
    QTest::newRow("zh") << "zh" << U8("打开串口") << QStringList{"Combo2", "Combo3"};
    QTest::newRow("en") << "en" << "Open" << QStringList{"Combo2"};
}

void TstLanguage::captionsFit()
{
    QFETCH(QString, language);
    QFETCH(QString, portCaption);
    QFETCH(QStringList, tooNarrow);
    QTranslator translator;
    QVERIFY(app::LoadLanguage(translator, language));
    qApp->installTranslator(&translator);
    ExchangeWindow w(false);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    QCOMPARE(w->Command1->text(), portCaption);
    const auto overflows = Overflows(*w.window);
    QVERIFY2(overflows.keys() == tooNarrow, qPrintable(QStringList(overflows.values()).join(" ")));
}

void TstLanguage::operationsInEnglish()
{
    QTranslator english;
    QTranslator none;
    QVERIFY(!app::LoadLanguage(none, "xx"));
    QVERIFY(app::LoadLanguage(english, "en"));
    qApp->installTranslator(&english);
    ExchangeWindow w;
    QVERIFY(w->PortIsOpen());
    QCOMPARE(w->Command1->text(), QString("Close"));
    QCOMPARE(w->Combo3->currentText(), QString("None"));
    QCOMPARE(QString::fromStdString(w.port.lastSettings), QString("9600,N,8,1"));

    w->Command5_Click();
    w->Command5_Click();
    QCOMPARE(w.Written(), QStringList({"01 06 00 0D 00 01 D9 C9 ", "01 06 00 0D 00 00 18 09 "}));
    QCOMPARE(w->Command5->text(), QString("OFF"));

    w->Command2_Click();
    QVERIFY(w.Written().last().startsWith("01 10 00 00 00 0D 1A "));
    w.port.Feed(WithCrc("01 10 00 00 00 0D"));
    w->Timer1_Timer();
    QCOMPARE(w.Status(), QString("Communication OK!"));

    w->Command3_Click();
    w.port.Feed(ReadReply(kExample));
    w->Timer1_Timer();
    QCOMPARE(w.Status(), QString("Communication OK!"));
    QCOMPARE(w->Text3->text(), QString("24.0"));
    QCOMPARE(w->Command5->text(), QString("ON"));
    w->Command5_Click();
    QCOMPARE(w.Written().last(), QString("01 06 00 0D 00 00 18 09 "));

    w->Command1_Click();
    QVERIFY(!w->PortIsOpen());
    w->Command3_Click();
    QCOMPARE(w.messages, QStringList{"Open the serial port first!"});
}

QTEST_MAIN(TstLanguage)
#include "tst_language.moc"
