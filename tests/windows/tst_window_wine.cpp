// The window on the Windows port layer against the module simulator, run under Wine: COM1
// leads to the simulator (the Ports key maps it to a socat pty), COM9 leads nowhere, and
// COM8 to a folder, which Windows refuses to open as a file with ERROR_ACCESS_DENIED: what
// it says of a COM port another program holds. (Wine itself lets two programs open one
// device, so a real hold cannot be shown under it.)

#include "app/texts.h"
#include "serial/win32_port.h"
#include "support/window_parts.h"

#include <QtTest>

namespace {

// The module's start values as a read shows them in the value boxes (the pulse counter last).
const QStringList kModuleStart{"10.0", "1000", "50.0", "0.000", "0.010", "0.010",
                               "50",   "5.00", "4.00", "1",     "50",    "0"};

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
    Click(*window, "portButton");
    QCOMPARE(m_messages, QStringList());
    QCOMPARE(Button(*window, "portButton")->text(), texts::Tr(texts::kPortOpenCaption));

    for (ValueBox *box : ValueBoxes(*window))
        box->clear();
    Click(*window, "readButton");
    QVERIFY(QTest::qWaitFor([&] { return !Shown(*window, "statusBox").isEmpty(); }, 10000));
    QCOMPARE(Shown(*window, "statusBox"), texts::Tr(texts::kReplyGood));
    QStringList shown;
    for (const ValueBox *box : ValueBoxes(*window))
        shown << box->text();
    QCOMPARE(shown, kModuleStart);

    Click(*window, "portButton");
    QCOMPARE(Button(*window, "portButton")->text(), texts::Tr(texts::kPortClosedCaption));
}

void TstWindowWine::missingPort()
{
    const auto window = Window(9);
    Click(*window, "portButton");
    QCOMPARE(m_messages, QStringList{texts::Tr(texts::kPortMissing)});
    QCOMPARE(Button(*window, "portButton")->text(), texts::Tr(texts::kPortClosedCaption));
}

void TstWindowWine::portHeldElsewhere()
{
    const auto window = Window(8);
    Click(*window, "portButton");
    QCOMPARE(m_messages, QStringList{texts::Tr(texts::kPortAlreadyOpen)});
    QCOMPARE(Button(*window, "portButton")->text(), texts::Tr(texts::kPortClosedCaption));
}

QTEST_MAIN(TstWindowWine)
#include "tst_window_wine.moc"
