// velqorctl provision against the simulator: a line of modules (one simulator answering
// 3 and 5), and a bench where modules arrive at address 1 one after another (velqor-sim
// --bench), each on its own socat pty pair.

#include "support/ctl_run.h"
#include "support/pty_pair.h"
#include "support/sim_process.h"

#include <QtTest>

#include <csignal>

class TstProvision : public QObject {
    Q_OBJECT

    using Run = CtlRun;

    QTemporaryDir m_dir;
    std::unique_ptr<PtyPair> m_line;
    std::unique_ptr<SimProcess> m_sim;

    QString Path(const QString &name) const { return m_dir.filePath(name); }

    void Start(QProcess &process, const QStringList &arguments) { StartCtl(process, m_dir.path(), arguments); }
    static Run Finish(QProcess &process) { return FinishCtl(process); }
    Run Ctl(const QStringList &arguments) { return RunCtl(m_dir.path(), arguments); }
    void WriteFile(const QString &name, const QByteArray &bytes)
    {
        QFile file(Path(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_line = std::make_unique<PtyPair>(Path("COM1"), Path("module"));
        QVERIFY(m_line->Start());
        m_sim = std::make_unique<SimProcess>(QStringLiteral(VELQOR_SIM_PATH), Path("sim.log"));
        QVERIFY(m_sim->Start({"--device", Path("module"), "--slave", "3", "--also-slave", "5"}));
        WriteFile("set.json", R"({"pwm_voltage": 12.55, "pulse_high": 1.5})");
        WriteFile("rate.json", R"({"work_mode": 2, "module_baud": 19200})");
    }

    void cleanup()
    {
        if (QTest::currentTestFailed())
            qWarning("--- simulator output ---\n%s", qPrintable(m_sim->Log()));
    }

    // Each row: the arguments after provision, the exit status, stdout, and whether
    // anything was written to the modules.
    void line_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<bool>("writes");
        QTest::newRow("dry run: nothing written")
            << QStringList{"--profile", "set.json", "--slaves", "3", "--dry-run"} << 0
            << "slave 3 would change: pwm_voltage: 10.0 -> 12.6, pulse_high: 0.010 -> 1.500\n" << false;
        QTest::newRow("a silent module fails, the rest go on")
            << QStringList{"--profile", "set.json", "--slaves", "4,3", "--json", "--timeout", "100"} << 1
            << "{\"slave\":4,\"ok\":false,\"error\":\"reading: no reply from slave 4 within 100 ms on COM1 ("
                   + QFileInfo(Path("COM1")).symLinkTarget() + ")\",\"retries\":0}\n"
                   "{\"slave\":3,\"ok\":true,\"changed\":{\"pulse_high\":[0.01,1.5],\"pwm_voltage\":[10,12.6]},\"retries\":0}\n"
            << true;
        QTest::newRow("found: the modules a scan finds")
            << QStringList{"--profile", "set.json", "--slaves", "found"} << 0
            << "slave 3 ok: nothing changed\nslave 5 ok: pwm_voltage: 10.0 -> 12.6, pulse_high: 0.010 -> 1.500\n"
            << true;
        QTest::newRow("a new rate: verified at it")
            << QStringList{"--profile", "rate.json", "--slaves", "5"} << 0
            << "slave 5 ok, verified at 19200 baud: work_mode: 1 -> 2, module_baud: 9600 -> 19200\n" << true;
        QTest::newRow("a new rate over TCP: refused")
            << QStringList{"--profile", "rate.json", "--slaves", "5", "--port", "tcp://127.0.0.1:9"} << 2 << "" << false;
        QTest::newRow("no modules named") << QStringList{"--profile", "set.json"} << 2 << "" << false;
        QTest::newRow("bad list") << QStringList{"--profile", "set.json", "--slaves", "3,,5"} << 2 << "" << false;
        QTest::newRow("--slave") << QStringList{"--profile", "set.json", "--slaves", "3", "--slave", "3"} << 2 << ""
                                 << false;
        QTest::newRow("range holding --from")
            << QStringList{"--profile", "set.json", "--assign", "1-4"} << 2 << "" << false;
        QTest::newRow("report not writable")
            << QStringList{"--profile", "set.json", "--slaves", "3", "--report", Path("no/such/folder")} << 2 << ""
            << false;
    }
    void line()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(bool, writes);
        const int before = m_sim->Count("regs ");
        const Run run = Ctl(QStringList{"provision"} + arguments);
        QCOMPARE(run.out, out);
        QCOMPARE(run.status, status);
        QCOMPARE(m_sim->Count("regs ") > before, writes);
    }

    // Three modules arrive one after another: each gets the next address and the profile,
    // and the report holds one line per module.
    void bench()
    {
        PtyPair pair(Path("COM2"), Path("bench"));
        QVERIFY(pair.Start());
        SimProcess sim(QStringLiteral(VELQOR_SIM_PATH), Path("bench.log"));
        QVERIFY(sim.Start({"--device", Path("bench"), "--bench", "3"}));
        const Run run = Ctl({"--port", Path("COM2"), "provision", "--profile", "set.json", "--assign", "10-12",
                             "--report", Path("report.jsonl"), "--json"});
        QCOMPARE(run.status, 0);
        const QString changed = ",\"ok\":true,\"changed\":{\"pulse_high\":[0.01,1.5],\"pwm_voltage\":[10,12.6]},\"retries\":0}\n";
        const QString lines = "{\"slave\":10" + changed + "{\"slave\":11" + changed + "{\"slave\":12" + changed;
        QCOMPARE(run.out, lines);
        QFile report(Path("report.jsonl"));
        QVERIFY(report.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(report.readAll()), lines);
        QVERIFY2(run.err.endsWith("provision: 3 provisioned, 0 failed; addresses used 10-12\n"), qPrintable(run.err));
        QCOMPARE(sim.Lines("state slave ").join(','), "state slave 10,state slave 11,state slave 12");
    }

    // A module already at the address to give would take the broadcast too: the bench
    // waits for it to go, gives nothing, and Ctrl+C ends it.
    void benchWaitsForAnotherModule()
    {
        PtyPair pair(Path("COM3"), Path("bench2"));
        QVERIFY(pair.Start());
        SimProcess sim(QStringLiteral(VELQOR_SIM_PATH), Path("bench2.log"));
        QVERIFY(sim.Start({"--device", Path("bench2"), "--bench", "2", "--also-slave", "21"}));
        QProcess process;
        Start(process, {"--port", Path("COM3"), "provision", "--profile", "set.json", "--assign", "21-23"});
        QByteArray err;
        QVERIFY(QTest::qWaitFor([&] { return (err += process.readAllStandardError()).contains("address 21 answers"); },
                                20000));
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
        const Run run = Finish(process);
        QCOMPARE(run.status, 130);
        QCOMPARE(run.out, "");
        QVERIFY2(run.err.endsWith("provision: stopped; 0 provisioned, 0 failed; no address used\n"), qPrintable(run.err));
        QCOMPARE(sim.Count("broadcast "), 0);
    }

    // The line going away while the bench waits for the next module ends it at once with
    // exit status 3 and what was done.
    void benchLineLost()
    {
        auto pair = std::make_unique<PtyPair>(Path("COM4"), Path("bench3"));
        QVERIFY(pair->Start());
        SimProcess sim(QStringLiteral(VELQOR_SIM_PATH), Path("bench3.log"));
        QVERIFY(sim.Start({"--device", Path("bench3"), "--bench", "1"}));
        QProcess process;
        Start(process, {"--port", Path("COM4"), "provision", "--profile", "set.json", "--assign", "30-31"});
        QByteArray err;
        QVERIFY(QTest::qWaitFor([&] { return (err += process.readAllStandardError()).contains("waiting"); }, 20000));
        pair.reset();
        const Run run = Finish(process);
        QCOMPARE(run.status, 3);
        QCOMPARE(run.out, "slave 30 ok: pwm_voltage: 10.0 -> 12.6, pulse_high: 0.010 -> 1.500\n");
        QVERIFY2(run.err.endsWith("provision: line lost; 1 provisioned, 0 failed; addresses used 30\n"), qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(TstProvision)
#include "tst_provision.moc"
