// The window's search for modules: the plain search (what it asks, how long it waits,
// what counts as a module) and the search window on a fake port (Ctrl+F, a closed port
// opened and closed again, its own traffic, Enter takes the module).

#include "app/main_window.h"
#include "app/module_search.h"
#include "app/module_search_window.h"
#include "modbus/crc16.h"
#include "modbus/frames.h"
#include "support/fake_port.h"
#include "support/window_parts.h"

#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QtTest>

namespace {

// A read reply of one register from `slave`.
std::vector<uint8_t> Reply(uint8_t slave)
{
    return modbus::AppendCrc16({slave, 0x03, 0x02, 0x00, 0x64, 0, 0}, 4);
}

// Answers the search's 247 requests: address 7 with its reply, the others with a reply of an
// address never asked, which ends the wait at once unless its CRC holds the address asked
// (the answer might begin there): then the wait runs out.
void AnswerSearch(FakePort &port)
{
    const std::size_t before = port.writes.size() - 1;  // the first request is out
    for (int address = 1; address <= 247; ++address) {
        QTRY_VERIFY(port.writes.size() == before + std::size_t(address) || !port.open);
        QCOMPARE(port.writes.back(), modbus::BuildReadRequest(static_cast<uint8_t>(address), 0, 1));
        port.Feed(Reply(address == 7 ? 7 : 0xF8));
    }
}

} // namespace

class TstModuleSearch : public QObject {
    Q_OBJECT
private slots:
    // Each row: the rates, what comes after each address's request ("r": its reply, "L": a
    // late reply of the address before, "o": another slave's, "-": nothing) and what is found.
    void search_data()
    {
        QTest::addColumn<QList<int>>("rates");
        QTest::addColumn<QString>("answers");
        QTest::addColumn<QString>("found");
        QTest::newRow("one answers") << QList<int>{9600} << "-r-" << "2@9600";
        QTest::newRow("a late reply counts") << QList<int>{9600} << "-L-" << "1@9600";
        QTest::newRow("another slave does not") << QList<int>{9600} << "oo-" << "";
        QTest::newRow("two rates") << QList<int>{9600, 19200} << "r--" "--r" << "1@9600 3@19200";
    }
    void search()
    {
        QFETCH(QList<int>, rates);
        QFETCH(QString, answers);
        QFETCH(QString, found);
        app::ModuleSearch search(std::vector<int>(rates.begin(), rates.end()), 1, 3);
        QCOMPARE(search.Total(), 3 * static_cast<int>(rates.size()));
        for (const QChar answer : answers) {
            QVERIFY(!search.Done());
            const int address = search.Address();
            QCOMPARE(search.Request(), modbus::BuildReadRequest(static_cast<uint8_t>(address), 0, 1));
            QCOMPARE(search.NewRate(), address == 1);
            if (answer == 'r')
                QVERIFY(search.Receive(Reply(static_cast<uint8_t>(address))));
            else if (answer == 'L')
                QVERIFY(!search.Receive(Reply(static_cast<uint8_t>(address - 1))));
            else if (answer == 'o')
                search.Receive(Reply(0xF0));
            search.Finish();
        }
        QVERIFY(search.Done());
        QCOMPARE(search.Asked(), search.Total());
        QStringList got;
        for (const app::FoundModule &module : search.Found())
            got << QString("%1@%2").arg(module.address).arg(module.baud);
        QCOMPARE(got.join(' '), found);
    }

    // The wait is scan's: the request and the reply at the rate, their silences, and 50 ms.
    void timeout() { QCOMPARE(app::ModuleSearch({9600}).Timeout().count(), 73); }

    // Ctrl+F on a closed port: the search opens it at the baud list's rate, asks 1-247, shows
    // its traffic in its own window only, closes the port, and Enter takes the module found.
    void searchWindow()
    {
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        FakePort port;
        MainWindow window(port);
        window.m_showMessage = [](const QString &, const QString &) {};
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
        auto *search = window.findChild<ModuleSearchWindow *>();
        QVERIFY(search);
        QTest::mouseClick(Button(*search, "startSearchButton"), Qt::LeftButton);
        QVERIFY(port.open);
        QCOMPARE(QString::fromStdString(port.lastSettings), "9600,N,8,1");
        AnswerSearch(port);
        QVERIFY(!port.open);
        QCOMPARE(port.writes.size(), std::size_t{247});
        const auto *found = search->findChild<QListWidget *>("foundList");
        QCOMPARE(found->count(), 1);
        QCOMPARE(found->item(0)->text(), "地址 7  波特率 9600");
        QCOMPARE(found->currentRow(), 0);
        QCOMPARE(Shown(window, "sentBox"), QString());
        QCOMPARE(Shown(window, "receivedBox"), QString());
        QVERIFY(search->findChild<QPlainTextEdit *>("searchTraffic")->toPlainText().startsWith("tx 01 03 00 00 00 01 84 0A\nrx "));
        QTest::keyClick(const_cast<QListWidget *>(found), Qt::Key_Return);
        QTRY_VERIFY(!window.findChild<ModuleSearchWindow *>());
        QCOMPARE(List(window, "slaveList")->currentText(), "7");
        QCOMPARE(List(window, "baudList")->currentText(), "9600");
    }

    // The entry on the Slave ID list's menu opens the search too; an open port is used as it
    // is and stays open.
    void menuEntryOnOpenPort()
    {
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        FakePort port;
        MainWindow window(port);
        window.m_showMessage = [](const QString &, const QString &) {};
        window.show();
        Click(window, "portButton");
        QVERIFY(port.open);
        port.lastSettings.clear();
        QLineEdit *text = List(window, "slaveList")->lineEdit();
        emit text->customContextMenuRequested(QPoint(1, 1));
        auto *menu = text->findChild<QMenu *>("slaveListMenu");
        QVERIFY(menu);
        menu->findChild<QAction *>("findModulesAction")->trigger();
        menu->close();
        auto *search = window.findChild<ModuleSearchWindow *>();
        QVERIFY(search);
        QTest::mouseClick(Button(*search, "startSearchButton"), Qt::LeftButton);
        AnswerSearch(port);
        QVERIFY(port.open);
        QCOMPARE(port.lastSettings, std::string());  // neither reopened nor closed
        QCOMPARE(search->findChild<QListWidget *>("foundList")->count(), 1);
    }
};

QTEST_MAIN(TstModuleSearch)
#include "tst_module_search.moc"
