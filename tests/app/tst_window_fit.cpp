// Every caption fits its place in either language; the port, the parity letter and the output
// switch work in English; a screen smaller than the window shows it scrolled.
#include "app/fitted_window.h"
#include "app/language.h"
#include "app/screen_fit.h"
#include "support/exchange_window.h"

#include <QGroupBox>

#include <QScrollBar>
#include <QStyleOptionButton>
#include <QtTest>

using texts::Tr;

namespace {

// The controls whose text is wider than its room, with both figures in pixels. A caption's
// room reaches to the next control on its right, or to the edge of its parent.
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
        int room = label->parentWidget()->width() - label->x();
        for (QWidget *next : label->parentWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            const QRect g = next->geometry();
            if (g.left() > label->x() && g.top() <= label->geometry().bottom() && g.bottom() >= label->y())
                room = std::min(room, g.left() - label->x());
        }
        check(label, {label->text()}, room);
    }
    for (QGroupBox *group : w.findChildren<QGroupBox *>())
        check(group, {group->title()}, group->width() - 16);  // the title's inset at both ends
    for (QPushButton *button : w.findChildren<QPushButton *>()) {
        QStyleOptionButton option;
        option.initFrom(button);
        const QStringList shown = button == Button(w, "portButton") ? QStringList{Tr(texts::kPortClosedCaption), Tr(texts::kPortOpenCaption)}
                                  : button == Button(w, "outputButton") ? QStringList{texts::kOn, texts::kOff}
                                                         : QStringList{button->text()};
        check(button, shown, button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width());
    }
    // Of the lists only the parity list holds words; the others hold numbers and port names.
    for (int i = 0; i < List(w, "parityList")->count(); ++i)
        check(List(w, "parityList"), {List(w, "parityList")->itemText(i)}, List(w, "parityList")->lineEdit()->width() - 4);  // the line edit's margins
    check(Part<QPlainTextEdit>(w, "statusBox"), {Tr(texts::kReplyGood), Tr(texts::kReplyBad)},
          Part<QPlainTextEdit>(w, "statusBox")->viewport()->width() - 2 * int(Part<QPlainTextEdit>(w, "statusBox")->document()->documentMargin()));
    return found;
}

} // namespace

class TstWindowFit : public QObject {
    Q_OBJECT
private slots:
    void captionsFit_data();
    void captionsFit();
    void operationsInEnglish();
    void fittedSize_data();
    void fittedSize();
    void scrolledWindow();
    void wheelOverLists();
};

void TstWindowFit::captionsFit_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("tooNarrow");
    // The lists of the communication group are 65 pixels wide: the Chinese parity items
    // lose a few pixels at their right end (the fixed layout).
    QTest::newRow("zh") << "zh" << QStringList{"parityList"};
    QTest::newRow("en") << "en" << QStringList{};
}

void TstWindowFit::captionsFit()
{
    QFETCH(QString, language);
    QFETCH(QStringList, tooNarrow);
    QTranslator translator;
    QVERIFY(app::LoadLanguage(translator, language));
    qApp->installTranslator(&translator);
    ExchangeWindow w(false);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    const auto overflows = Overflows(*w.window);
    QVERIFY2(overflows.keys() == tooNarrow, qPrintable(QStringList(overflows.values()).join(" ")));
}

void TstWindowFit::operationsInEnglish()
{
    QTranslator none, english;  // a language without a catalogue is refused
    QVERIFY(!app::LoadLanguage(none, "xx"));
    QVERIFY(app::LoadLanguage(english, "en"));
    qApp->installTranslator(&english);
    ExchangeWindow w;  // opened by a click on "Open"
    QCOMPARE(Button(*w, "portButton")->text(), QString("Close"));
    QCOMPARE(QString::fromStdString(w.port.lastSettings), QString("9600,N,8,1"));
    Click(*w, "outputButton");
    Click(*w, "writeButton");
    Click(*w, "readButton");
    w.port.Feed(ReadReply(kExample));  // output ON
    FireReplyTimer(*w);
    QCOMPARE(w.Status(), QString("Communication OK!"));
    Click(*w, "outputButton");
    QCOMPARE(w.port.writes.size(), 4u);  // the frames themselves: tst_operations
    QCOMPARE(Box(*w, "pwmVoltageBox")->text(), QString("24.0"));
    Click(*w, "portButton");
    Click(*w, "readButton");
    QCOMPARE(w.messages, QStringList{"Open the serial port first!"});
}

void TstWindowFit::fittedSize_data()
{
    // The window's 954 x 466, a frame of 16 x 40 and 16-pixel scroll bars; 0 x 0: it fits.
    QTest::addColumn<QSize>("available");
    QTest::addColumn<QSize>("shown");
    QTest::newRow("just enough") << QSize(970, 506) << QSize(0, 0);
    QTest::newRow("a pixel narrow: both bars") << QSize(969, 506) << QSize(953, 466);
    QTest::newRow("1366 x 768 at 150 %") << QSize(910, 485) << QSize(894, 445);
    QTest::newRow("low only") << QSize(1920, 400) << QSize(970, 360);
    QTest::newRow("smaller than the frame") << QSize(10, 10) << QSize(1, 1);
}

void TstWindowFit::fittedSize()
{
    QFETCH(QSize, available);
    QFETCH(QSize, shown);
    const auto size = app::FittedSize({954, 466}, {available.width(), available.height()}, {16, 40}, 16);
    QCOMPARE(size ? QSize(size->width, size->height) : QSize(0, 0), shown);
}

void TstWindowFit::scrolledWindow()
{
    ExchangeWindow w(false);
    const QSize client = w->size();
    for (bool closeFrame : {true, false}) {
        const auto frame = ShowFitted(*w.window, QRect(0, 0, 800, 1000));
        QVERIFY(frame && QTest::qWaitForWindowExposed(frame.get()));
        QVERIFY(frame->horizontalScrollBar()->isVisible() && !frame->verticalScrollBar()->isVisible());
        QCOMPARE(frame->viewport()->width(), 800 - 16);
        QFile::remove("com.txt");
        QVERIFY(closeFrame ? frame->close() : w->close());
        QTRY_VERIFY(!frame->isVisible() && !w->isVisible());
        QVERIFY(QFile::exists("com.txt"));  // shutdown ran once the window closed
    }
    QVERIFY(!ShowFitted(*w.window, QRect(0, 0, 1280, 800)));
    QVERIFY(w->isVisible() && w->isWindow() && w->size() == client);
}

// The wheel over a list without the focus scrolls the window and leaves the list alone;
// with the focus it turns the list.
void TstWindowFit::wheelOverLists()
{
    ExchangeWindow w(false);
    const auto frame = ShowFitted(*w.window, QRect(0, 0, 800, 400));
    QVERIFY(frame && QTest::qWaitForWindowExposed(frame.get()));
    auto wheel = [](QWidget *list) {
        QWheelEvent notch(QPointF(5, 5), QPointF(list->mapToGlobal(QPoint(5, 5))), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        // as from the mouse: only such a wheel travels up (sendEvent would make it the program's)
        QSpontaneKeyEvent::setSpontaneous(&notch);
        qApp->notify(list, &notch);
    };
    Box(*w, "pwmVoltageBox")->setFocus();
    QCOMPARE(frame->verticalScrollBar()->value(), 0);
    for (QComboBox *list : {List(*w, "slaveList"), List(*w, "moduleBaudList"), List(*w, "portList")}) {
        const QString before = list->currentText();
        wheel(list);
        QCOMPARE(list->currentText(), before);
    }
    QVERIFY(frame->verticalScrollBar()->value() > 0);
    frame->activateWindow();
    List(*w, "slaveList")->setFocus();
    QTRY_VERIFY(List(*w, "slaveList")->hasFocus());
    wheel(List(*w, "slaveList"));
    QCOMPARE(List(*w, "slaveList")->currentText(), QStringLiteral("2"));
    frame->close();
}

QTEST_MAIN(TstWindowFit)
#include "tst_window_fit.moc"
