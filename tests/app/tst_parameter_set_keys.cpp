// Ctrl+S and Ctrl+O of the window: the fields to a parameter-set file and back, nothing
// sent; a file that cannot be used leaves every field as it was and says why.

#include "app/main_window.h"
#include "app/preset_panel.h"
#include "support/fake_port.h"
#include "support/module_values.h"
#include "support/window_parts.h"

#include <QtTest>

class TestParameterSetKeys : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    FakePort m_port;
    QStringList m_messages;
    QString m_chosen;

    std::unique_ptr<MainWindow> Window()
    {
        QDir::setCurrent(m_dir.path());
        m_messages.clear();
        auto window = std::make_unique<MainWindow>(m_port);
        window->m_showMessage = [this](const QString &text, const QString &) { m_messages << text; };
        window->m_chooseSaveFile = [this] { return m_chosen; };
        window->m_chooseOpenFile = [this] { return m_chosen; };
        window->show();
        window->activateWindow();
        return window;
    }

    static QStringList Fields(const MainWindow &w)
    {
        QStringList texts;
        for (const ValueBox *box : ValueBoxes(w))
            texts << box->text();
        texts.removeLast();  // the pulse counter is no parameter
        return texts << List(w, "moduleBaudList")->currentText();
    }

private slots:
    // Saved as the write button would send it (30 V becomes 24.0), loaded into a fresh window by the keys.
    // A name without a suffix gets .json.
    void saveThenLoad()
    {
        m_chosen = m_dir.filePath(QStringLiteral("set"));
        auto first = Window();
        QVERIFY(QTest::qWaitForWindowActive(first.get()));
        Box(*first, "pwmVoltageBox")->setText(QStringLiteral("30"));
        Box(*first, "pulseHighBox")->setText(QStringLiteral("1.5"));
        List(*first, "moduleBaudList")->setCurrentIndex(4);
        // the keys work with the caret in a filtered PWM box too
        Box(*first, "pwmVoltageBox")->setFocus();
        QTest::keyClick(Box(*first, "pwmVoltageBox"), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(Box(*first, "pwmVoltageBox")->text(), QStringLiteral("30"));

        m_chosen = m_dir.filePath(QStringLiteral("set.json"));
        auto second = Window();
        QVERIFY(QTest::qWaitForWindowActive(second.get()));
        QTest::keyClick(second.get(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(m_messages, QStringList());
        QStringList expected = ShownAfterRead(*second, kModuleStart).mid(0, 11) << "57600";  // the rest as at start
        expected[0] = "24.0";
        expected[4] = "1.500";
        QCOMPARE(Fields(*second), expected);
        QVERIFY(m_port.writes.empty());
    }

    void unusableFile_data()
    {
        QTest::addColumn<QByteArray>("content");  // empty: no such file
        QTest::addColumn<QString>("said");
        QTest::newRow("missing") << QByteArray() << "missing.json";
        QTest::newRow("not JSON") << QByteArray("pwm_voltage = 3") << "not JSON";
        QTest::newRow("unknown key") << QByteArray(R"({"pwm_voltage": 12, "volume": 1})") << "unknown key";
        QTest::newRow("out of range, after a good key")
            << QByteArray(R"({"pulse_high": 2, "pwm_voltage": 99})") << "pwm_voltage=99: outside 1.0 to 24.0 V";
    }
    void unusableFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, said);
        m_chosen = m_dir.filePath(QStringLiteral("missing.json"));
        if (!content.isEmpty()) {
            m_chosen = m_dir.filePath(QStringLiteral("bad.json"));
            QFile file(m_chosen);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        auto window = Window();
        const QStringList before = Fields(*window);
        Part<PresetPanel>(*window, "presetGroup")->loadParameterSet();
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages.first().contains(said), qPrintable(m_messages.first()));
        QCOMPARE(Fields(*window), before);
    }
};

QTEST_MAIN(TestParameterSetKeys)
#include "tst_parameter_set_keys.moc"
