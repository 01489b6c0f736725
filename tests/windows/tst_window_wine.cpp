// The window on the Windows port layer against the module simulator, run under Wine: COM1
// leads to the simulator (the Ports key maps it to a socat pty), COM9 leads nowhere, and
// COM8 to a folder, which Windows refuses to open as a file with ERROR_ACCESS_DENIED: what
// it says of a COM port another program holds. (Wine itself lets two programs open one
// device, so a real hold cannot be shown under it.) The
// window is driven by what the user sees, its captions, so the test does not hang on the
// names of its members.

#include "app/main_window.h"
#include "app/texts.h"
#include "serial/win32_port.h"

#include <QtTest>

#include <algorithm>

namespace {

// The module's start values as a read shows them in the value boxes, in any order.
const QStringList kModuleStart{"10.0", "1000", "50.0", "0.000", "0.010", "0.010",
                               "50",   "5.00", "4.00", "1",     "50",    "0"};

QPushButton *Button(const QWidget &window, const char *caption)
{
    const auto buttons = window.findChildren<QPushButton *>();
    const auto found = std::find_if(buttons.begin(), buttons.end(),
                                    [&](const QPushButton *b) { return b->text() == texts::Tr(caption); });
    return found == buttons.end() ? nullptr : *found;
}

// The value boxes: the line edits that are no list's own text field.
QList<QLineEdit *> ValueBoxes(const QWidget &window)
{
    QList<QLineEdit *> boxes;
    for (QLineEdit *edit : window.findChildren<QLineEdit *>())
        if (!qobject_cast<QComboBox *>(edit->parentWidget()))
            boxes << edit;
    return boxes;
}

bool Shows(const QWidget &window, const QString &text)
{
    for (const QPlainTextEdit *box : window.findChildren<QPlainTextEdit *>())
        if (box->toPlainText() == text)
            return true;
    for (const QLineEdit *box : window.findChildren<QLineEdit *>())
        if (box->text() == text)
            return true;
    return false;
}

} // namespace

class TstWindowWine : public QObject {
    Q_OBJECT
private slots:
    void init();
    void readsTheModule();
    void missingPort();
    void portHeldElsewhere();

private:
    // A window whose com.txt names `port` at 9600 baud; messages are recorded.
    std::unique_ptr<MainWindow> Window(int port);

    QTemporaryDir m_dir;
    serial::Win32Port m_port;
    QStringList m_messages;
};

void TstWindowWine::init()
{
    m_port.Close();  // a failed test may leave it open
    m_messages.clear();
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

std::unique_ptr<MainWindow> TstWindowWine::Window(int port)
{
    QFile file(QStringLiteral("com.txt"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return nullptr;
    file.write(QByteArray::number(port) + "\r\n9600\r\n");
    file.close();
    auto window = std::make_unique<MainWindow>(m_port);
    window->m_showMessage = [this](const QString &text, const QString &) { m_messages << text; };
    window->show();
    return window;
}

void TstWindowWine::readsTheModule()
{
    const auto window = Window(1);
    QPushButton *openButton = Button(*window, texts::kPortClosedCaption);
    QVERIFY(openButton);
    openButton->click();
    QCOMPARE(m_messages, QStringList());
    QCOMPARE(openButton->text(), texts::Tr(texts::kPortOpenCaption));

    const QList<QLineEdit *> boxes = ValueBoxes(*window);
    QVERIFY(boxes.size() >= kModuleStart.size());
    for (QLineEdit *box : boxes)
        box->clear();
    QPushButton *readButton = Button(*window, texts::kRead);
    QVERIFY(readButton);
    readButton->click();
    QVERIFY(QTest::qWaitFor([&] { return Shows(*window, texts::Tr(texts::kReplyGood))
                                         || Shows(*window, texts::Tr(texts::kReplyBad)); }, 10000));
    QVERIFY(Shows(*window, texts::Tr(texts::kReplyGood)));
    QStringList shown;
    for (const QLineEdit *box : boxes)
        if (!box->text().isEmpty())
            shown << box->text();
    QStringList expected = kModuleStart;
    shown.sort();
    expected.sort();
    QCOMPARE(shown.join(QLatin1Char(' ')), expected.join(QLatin1Char(' ')));

    openButton->click();
    QCOMPARE(openButton->text(), texts::Tr(texts::kPortClosedCaption));
}

void TstWindowWine::missingPort()
{
    const auto window = Window(9);
    QPushButton *openButton = Button(*window, texts::kPortClosedCaption);
    QVERIFY(openButton);
    openButton->click();
    QCOMPARE(m_messages, QStringList{texts::Tr(texts::kPortMissing)});
    QCOMPARE(openButton->text(), texts::Tr(texts::kPortClosedCaption));
}

void TstWindowWine::portHeldElsewhere()
{
    const auto window = Window(8);
    QPushButton *openButton = Button(*window, texts::kPortClosedCaption);
    QVERIFY(openButton);
    openButton->click();
    QCOMPARE(m_messages, QStringList{texts::Tr(texts::kPortAlreadyOpen)});
    QCOMPARE(openButton->text(), texts::Tr(texts::kPortClosedCaption));
}

QTEST_MAIN(TstWindowWine)
#include "tst_window_wine.moc"
