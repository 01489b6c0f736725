// A window larger than the screen's free area: the size it is shown at, and the scroll area
// around the unchanged window.
#include "app/fitted_window.h"
#include "app/screen_fit.h"
#include "support/exchange_window.h"

#include <QScrollBar>
#include <QtTest>

class TstScreenFit : public QObject {
    Q_OBJECT
private slots:
    void fittedSize_data();
    void fittedSize();
    void scrolledWindow();
};

void TstScreenFit::fittedSize_data()
{
    // The window's 954 x 466, a frame of 16 x 40 and 16-pixel scroll bars; 0 x 0: it fits.
    QTest::addColumn<QSize>("available");
    QTest::addColumn<QSize>("shown");
    QTest::newRow("1280 x 800") << QSize(1280, 800) << QSize(0, 0);
    QTest::newRow("just enough") << QSize(970, 506) << QSize(0, 0);
    QTest::newRow("a pixel narrow: both bars") << QSize(969, 506) << QSize(953, 466);
    QTest::newRow("1366 x 768 at 150 %") << QSize(910, 485) << QSize(894, 445);
    QTest::newRow("low only") << QSize(1920, 400) << QSize(970, 360);
    QTest::newRow("narrow only") << QSize(800, 1000) << QSize(784, 482);
    QTest::newRow("smaller than the frame") << QSize(10, 10) << QSize(1, 1);
}

void TstScreenFit::fittedSize()
{
    QFETCH(QSize, available);
    QFETCH(QSize, shown);
    const auto size = app::FittedSize({954, 466}, {available.width(), available.height()}, {16, 40}, 16);
    QCOMPARE(size ? QSize(size->width, size->height) : QSize(0, 0), shown);
}

void TstScreenFit::scrolledWindow()
{
    ExchangeWindow w(false);
    MainWindow &window = *w.window;
    const QSize client = window.size();
    {
        const std::unique_ptr<FittingFrame> frame = ShowFitted(window, QRect(0, 0, 800, 1000));
        QVERIFY(frame);
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        QCOMPARE(frame->widget(), &window);
        QCOMPARE(frame->windowTitle(), window.windowTitle());
        QCOMPARE(window.size(), client);
        QVERIFY(frame->horizontalScrollBar()->isVisible() && !frame->verticalScrollBar()->isVisible());
        QCOMPARE(frame->viewport()->width(), 800 - 16);
        // Closing the frame is closing the window: shutdown writes com.txt.
        QVERIFY(frame->close());
        QVERIFY(QFile::exists("com.txt"));
    }
    QVERIFY(!ShowFitted(window, QRect(0, 0, 1280, 800)));
    QVERIFY(window.isVisible() && window.isWindow());
    QCOMPARE(window.size(), client);
}

QTEST_MAIN(TstScreenFit)
#include "tst_screen_fit.moc"
