// velqorctl against the module simulator on a socat pty pair: each command, the faults of
// the line, bad input (exit 2, nothing on the line) and ports that cannot be opened.

#include "device/parameter_table.h"
#include "modbus/crc16.h"
#include "support/ctl_run.h"
#include "support/module_frames.h"
#include "support/module_values.h"
#include "support/pty_pair.h"
#include "support/sim_process.h"

#include <QSerialPort>

#include <csignal>
#include <sys/stat.h>
#include <QtTest>

class TestVelqorctl : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<PtyPair> m_line;
    std::unique_ptr<SimProcess> m_sim;

    QString Path(const QString &name) const { return m_dir.filePath(name); }

    void Faults(const QString &words)
    {
        QFile file(Path(QStringLiteral("faults")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(words.toUtf8());
    }

    // Runs velqorctl in the test folder, where COM1 is the pty and com.txt says 1, 9600;
    // its stdout goes to `outFile` when one is given.
    CtlRun Ctl(const QStringList &arguments, const QString &outFile = {})
    {
        QProcess process;
        if (!outFile.isEmpty())
            process.setStandardOutputFile(outFile);
        StartCtl(process, m_dir.path(), arguments);
        return FinishCtl(process);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_line = std::make_unique<PtyPair>(Path(QStringLiteral("COM1")), Path(QStringLiteral("module")));
        QVERIFY(m_line->Start());
        QFile settings(Path(QStringLiteral("com.txt")));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("1\r\n9600\r\n");
        settings.close();
        Faults(QStringLiteral("none"));
        QCOMPARE(::mkfifo(Path(QStringLiteral("fifo")).toLocal8Bit().constData(), 0600), 0);
        for (const auto &[name, content] : {std::pair{"twice.json", R"({"pwm_voltage": 12, "pwm_voltage" : 13})"},
                                            {"readonly.json", R"({"output": true, "pulse_count": 3, "pulse_high": null})"},
                                            {"escaped.json", R"({"pwm_voltage": 12, "pwm\u005fvoltage": 5})"},
                                            {"range.json", R"({"pwm_voltage": 7000})"},
                                            {"held.json", R"({"pwm_voltage": 0, "pulse_number": 0})"}}) {
            QFile file(Path(QLatin1String(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        m_sim = std::make_unique<SimProcess>(QStringLiteral(VELQOR_SIM_PATH), Path(QStringLiteral("sim.log")));
        QVERIFY(m_sim->Start({QStringLiteral("--device"), Path(QStringLiteral("module")),
                              QStringLiteral("--faults-file"), Path(QStringLiteral("faults"))}));
    }

    void init() { Faults(QStringLiteral("none")); }

    void cleanup()
    {
        if (QTest::currentTestFailed())
            qWarning("--- simulator output ---\n%s", qPrintable(m_sim->Log()));
    }

    // Each command: its exit status, a line of its output and the request on the wire.
    void commands_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("printed");
        QTest::addColumn<QString>("request");
        QTest::newRow("read, com.txt's port") << QStringList{"read"} << "pulse_high       0.010 s"
                                              << "req " + ReadRequestText();
        QTest::newRow("output on") << QStringList{"output", "on"} << "output           on"
                                   << "req " + FrameText(OutputRequest(true));
        QTest::newRow("read --json after output on")
            << QStringList{"read", "--json"} << "\"output\": true" << "req " + ReadRequestText();
        QTest::newRow("output off, options after the command")
            << QStringList{"output", "off", "--port", "COM1", "--slave", "1"} << "output           off"
            << "req " + FrameText(OutputRequest(false));
        // 12.55 rounds half away from zero; the read-back of the write is the last request
        QTest::newRow("write --set") << QStringList{"write", "--set", "pwm_voltage=12.55", "--set", "pwm_frequency=150000"}
                                     << "pwm_voltage      12.6 V\npwm_frequency    150000 Hz\n"
                                     << "req " + ReadRequestText();
        QTest::newRow("read shows the write") << QStringList{"read"} << "pwm_frequency    150000 Hz"
                                              << "req " + ReadRequestText();
        QTest::newRow("address, broadcast") << QStringList{"address", "1"} << "address          1"
                                            << "broadcast " + FrameText(AddressChangeRequest(1));
    }
    void commands()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, printed);
        QFETCH(QString, request);
        const QString warned = arguments.first() != "address" ? QString()
                               : "velqorctl: address: sent as a broadcast: every module on the line takes address 1\n";
        const CtlRun outcome = Ctl(arguments);
        QCOMPARE(outcome.err, warned);
        QCOMPARE(outcome.status, 0);
        QVERIFY2(outcome.out.contains(printed), qPrintable(outcome.out));
        // a broadcast has no reply: the command may end before the simulator has the request
        const QString prefix = request.section(QLatin1Char(' '), 0, 0) + QLatin1Char(' ');
        QTRY_COMPARE(m_sim->Last(prefix), request);
    }

    // read --json > file, change it, write --profile file: only that key changes.
    void profileRoundTrip()
    {
        const CtlRun before = Ctl({"read", "--json"});
        QCOMPARE(before.status, 0);
        QJsonObject set = QJsonDocument::fromJson(before.out.toUtf8()).object();
        QCOMPARE(set.size(), int(device::kParameterCount) + 1);  // every row and "retries", which write ignores
        set.insert(QStringLiteral("pulse_low"), 1.5);
        set.insert(QStringLiteral("pulse_count"), 99);  // read only: ignored
        QFile file(Path(QStringLiteral("set.json")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(set).toJson());
        file.close();
        const CtlRun written = Ctl({"write", "--profile", file.fileName()});
        QCOMPARE(written.err, QString());
        QCOMPARE(written.status, 0);
        const CtlRun after = Ctl({"read", "--json"});
        QJsonObject expected = QJsonDocument::fromJson(before.out.toUtf8()).object();
        expected.insert(QStringLiteral("pulse_low"), 1.5);
        QJsonObject got = QJsonDocument::fromJson(after.out.toUtf8()).object();
        got.remove(QStringLiteral("pulse_count"));
        expected.remove(QStringLiteral("pulse_count"));
        QCOMPARE(got, expected);
    }

    // A bad reply: exit 1 and a line that says which.
    void faults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("said");
        QTest::newRow("silent") << "silent" << QStringList{"read", "--timeout", "200"} << "read: no reply from slave 1";
        QTest::newRow("bad CRC") << "bad-crc" << QStringList{"output", "on"} << "output: bad CRC";
        QTest::newRow("another slave") << "as-slave 9" << QStringList{"read"} << "read: another slave";
        QTest::newRow("exception") << "exception" << QStringList{"write", "--set", "work_mode=2"}
                                   << "exception 2 (illegal data address)";
        QTest::newRow("wrong slave asked") << "none" << QStringList{"read", "--slave", "7", "--timeout", "100"}
                                           << "no reply from slave 7";
    }
    void faults()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, arguments);
        QFETCH(QString, said);
        Faults(fault);
        const CtlRun outcome = Ctl(arguments);
        QCOMPARE(outcome.status, 1);
        QVERIFY2(outcome.err.contains(said), qPrintable(outcome.err));
        QCOMPARE(outcome.err.count(QLatin1Char('\n')), 1);
        QCOMPARE(outcome.out, QString());
    }

    // Bad input: exit 2, one line naming the key and what it allows, nothing on the line.
    void badInput_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("said");
        const auto set = [](const char *assignment) { return QStringList{"write", "--set", assignment}; };
        QTest::newRow("unknown key") << set("pwm_volts=3") << "unknown key \"pwm_volts\"";
        QTest::newRow("above the range") << set("pwm_voltage=30") << "pwm_voltage=30: outside 1.0 to 24.0 V";
        QTest::newRow("rounds above the range") << set("pwm_voltage=24.05") << "outside 1.0 to 24.0 V";
        QTest::newRow("negative duty") << set("pwm_duty=-5") << "pwm_duty=-5: outside 0.0 to 100.0 %";
        QTest::newRow("not a plain number") << set("pulse_high=1e3") << "pulse_high=1e3: not a plain decimal number";
        QTest::newRow("rate not offered") << set("module_baud=14400") << "allowed 4800, 9600";
        QTest::newRow("output is its own command") << set("output=1") << "output on|off";
        QTest::newRow("counter is read only") << set("pulse_count=0") << "pulse_count is read only";
        QTest::newRow("profile not JSON") << QStringList{"write", "--profile", "com.txt"} << "com.txt: not JSON";
        QTest::newRow("profile missing") << QStringList{"write", "--profile", "none.json"} << "none.json";
        QTest::newRow("address 0") << QStringList{"address", "0"} << "allowed 1 to 247";
        QTest::newRow("address 248") << QStringList{"address", "248"} << "allowed 1 to 247 (248 to 254 are reserved";
        QTest::newRow("address with --slave") << QStringList{"address", "4", "--slave", "3"}
                                              << "--slave cannot pick one module: the change is a broadcast";
        QTest::newRow("baud not in the window's list") << QStringList{"read", "--baud", "14400"}
                                                       << "allowed 4800, 9600, 19200, 38400, 57600 or 115200";
        QTest::newRow("profile, key twice") << QStringList{"write", "--profile", "twice.json"}
                                            << "twice.json: key \"pwm_voltage\" given twice";
        QTest::newRow("profile, key twice, escaped") << QStringList{"write", "--profile", "escaped.json"}
                                                     << "escaped.json: key \"pwm_voltage\" given twice";
        QTest::newRow("profile, no name") << QStringList{"write", "--profile", ""} << "--profile: no file name given";
        QTest::newRow("log refused: no file made") << QStringList{"--log", "refused.log", "write", "--set", "pwm_voltage=99"}
                                                   << "outside 1.0 to 24.0 V";
        QTest::newRow("log to stdout with JSON") << QStringList{"read", "--json", "--log", "-"}
                                                 << "--log -: not with --json";
        QTest::newRow("log FIFO without a reader") << QStringList{"read", "--log", "fifo"} << "a FIFO that nobody reads";
        QTest::newRow("profile, nothing to write") << QStringList{"write", "--profile", "readonly.json"}
                                                   << "readonly.json: no key to write";
        QTest::newRow("profile, value out of range") << QStringList{"write", "--profile", "range.json"}
                                                     << "range.json: pwm_voltage=7000: outside 1.0 to 24.0 V";
        QTest::newRow("profile, endless") << QStringList{"write", "--profile", "/dev/zero"}
                                          << "/dev/zero: larger than 64 KiB";
        QTest::newRow("line break in an argument") << QStringList{"erase\nall"} << "unknown command \"erase\\nall\"";
        QTest::newRow("output maybe") << QStringList{"output", "maybe"} << "on or off";
        QTest::newRow("slave 256") << QStringList{"read", "--slave", "256"} << "--slave \"256\": allowed 1 to 255";
        QTest::newRow("json with write") << QStringList{"write", "--json"} << "--json belongs to read";
        QTest::newRow("write without values") << QStringList{"write"} << "nothing to change";
        QTest::newRow("unknown command") << QStringList{"erase"} << "unknown command \"erase\"";
    }
    void badInput()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, said);
        const int requests = m_sim->Lines().size();
        const CtlRun outcome = Ctl(arguments);
        QCOMPARE(outcome.status, 2);
        QVERIFY2(outcome.err.contains(said), qPrintable(outcome.err));
        QCOMPARE(outcome.err.count(QLatin1Char('\n')), 1);
        QCOMPARE(m_sim->Lines().size(), requests);
        QVERIFY(!QFileInfo::exists(Path(QStringLiteral("refused.log"))));
    }

    // A value outside its range that a module holds comes back from a profile, said on
    // stderr; typed with --set it is refused.
    void profileRestoresHeldValues()
    {
        const CtlRun held = Ctl({"write", "--profile", "held.json"});
        QCOMPARE(held.status, 0);
        QVERIFY2(held.err.contains("held.json: pwm_voltage=0: outside 1.0 to 24.0 V; written as the file holds it")
                     && held.err.count('\n') == 1,
                 qPrintable(held.err));
        QVERIFY2(Ctl({"read"}).out.contains(QRegularExpression("pwm_voltage +0.0 V\n")), "pwm_voltage is not 0");
        QCOMPARE(Ctl({"write", "--set", "pwm_voltage=0"}).status, 2);
        QCOMPARE(Ctl({"write", "--set", "pwm_voltage=10", "--set", "pulse_number=50"}).status, 0);
    }

    // A profile with an unknown key is refused as a whole.
    void profileUnknownKey()
    {
        QFile file(Path(QStringLiteral("bad.json")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"({"pwm_voltage": 12, "volume": 3})");
        file.close();
        const CtlRun outcome = Ctl({"write", "--profile", file.fileName()});
        QCOMPARE(outcome.status, 2);
        QVERIFY2(outcome.err.contains("unknown key \"volume\""), qPrintable(outcome.err));
    }

    // A module that confirms the write but keeps its old values: the read-back says so.
    void readBackDiffers()
    {
        PtyPair line(Path(QStringLiteral("COM2")), Path(QStringLiteral("stubborn")));
        QVERIFY(line.Start());
        QSerialPort module;
        module.setPortName(QFileInfo(Path(QStringLiteral("stubborn"))).canonicalFilePath());
        QVERIFY(module.open(QIODevice::ReadWrite));
        QByteArray request;
        connect(&module, &QSerialPort::readyRead, this, [&] {
            request += module.readAll();
            std::vector<uint8_t> reply;
            if (request.size() == 8 && request[1] == 3) {  // the read block, as it started
                reply = {1, 3, static_cast<uint8_t>(2 * device::kReadBlockCount)};
                for (uint16_t v : kModuleStart)
                    reply.insert(reply.end(), {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
            } else if (request.size() == 9 + 2 * device::kParameterBlockCount) {  // the write, confirmed and ignored
                reply.assign(request.begin(), request.begin() + 6);
            } else {
                return;
            }
            request.clear();
            reply = modbus::AppendCrc16(reply, reply.size() - 1);
            module.write(reinterpret_cast<const char *>(reply.data()), static_cast<qint64>(reply.size()));
        });
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral(VELQORCTL_PATH), {"write", "--port", "COM2", "--set", "pwm_voltage=12"});
        QVERIFY(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 20000));
        QCOMPARE(process.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()),
                 QStringLiteral("velqorctl: write: read-back differs: pwm_voltage sent 12.0, the module holds 10.0\n"));
    }

    // Results that cannot be written: a full disk ends with exit 4 and says which.
    void outputCannotBeWritten()
    {
        const CtlRun full = Ctl({"read", "--json"}, QStringLiteral("/dev/full"));
        QCOMPARE(full.status, 4);
        QCOMPARE(full.err, QString("velqorctl: cannot write the results to stdout: No space left on device\n"));
        const CtlRun logged = Ctl({"read", "--log", "/dev/full"});
        QCOMPARE(logged.status, 4);
        QVERIFY2(logged.err.endsWith("the log is not complete\n"), qPrintable(logged.err));
    }

    // Ctrl+C while a write waits for its confirmation: the request is in the log, and
    // stderr says the write went out unconfirmed.
    void stoppedDuringWrite()
    {
        Faults(QStringLiteral("delay 1500"));
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral(VELQORCTL_PATH),
                      {"write", "--set", "work_mode=3", "--timeout", "5000", "--log", "stopped.log"});
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->Last("req ").startsWith("req 01 10"), 10000);
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitCode(), 130);
        QCOMPARE(process.readAllStandardError(),
                 QByteArray("velqorctl: write: stopped by SIGINT after the request was sent, before the module "
                            "confirmed it; the write may have been carried out: read the module (velqorctl read) to "
                            "see what it holds\n"));
        QFile log(Path(QStringLiteral("stopped.log")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY2(log.readAll().contains(" tx 01 10 "), "the write is not in the log");
        // the simulator's delayed reply is out before the next test asks
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->Last("rep ").startsWith("rep 01 10"), 5000);
    }

    // Only bytes that answer the request count: a reply that came after its time is
    // dropped before the next request (monitor shows no old values as new), stray bytes
    // after a reply spoil no exchange, and a scan reports the module whose reply came late.
    void staleAndStrayBytes()
    {
        // replies later than the time-out, whatever the interval: none is taken for the next read's
        Faults(QStringLiteral("delay 140"));
        const CtlRun late = Ctl({"monitor", "--count", "3", "--interval", "120", "--timeout", "100"});
        QCOMPARE(late.out, QString());
        QCOMPARE(late.status, 1);
        QTRY_VERIFY(m_sim->Lines().last().startsWith("rep "));  // the last late reply is out

        Faults(QStringLiteral("delay 300"));
        const CtlRun monitor = Ctl({"monitor", "--count", "2", "--interval", "1000", "--timeout", "100", "--log", "stale.log"});
        QCOMPARE(monitor.status, 1);
        QCOMPARE(monitor.out, QString());
        QFile log(Path(QStringLiteral("stale.log")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY2(log.readAll().contains(" : discarded: came while the line was let go quiet after the time-out before"),
                 "the late reply is not in the log");

        Faults(QStringLiteral("stray"));
        const CtlRun write = Ctl({"write", "--set", "work_mode=2"});
        QCOMPARE(write.err, QString());
        QCOMPARE(write.status, 0);

        Faults(QStringLiteral("delay 400"));  // while 2 is asked, or waiting when 2 is asked
        const CtlRun scan = Ctl({"scan", "--slaves", "1-3", "--timeout", "300", "--json"});
        QCOMPARE(scan.out, QString("[{\"baud\":9600,\"slave\":1}]\n"));
        QCOMPARE(scan.status, 0);
    }

    // Ports that cannot be had: exit 3 with the reason.
    void portUnavailable()
    {
        CtlRun outcome = Ctl({"read", "--port", Path(QStringLiteral("nothing"))});
        QCOMPARE(outcome.status, 3);
        QVERIFY2(outcome.err.contains("does not exist"), qPrintable(outcome.err));
        // a COM name that is no port is not opened as a file of that name
        for (const char *name : {"COM0", "com257", "COMx"}) {
            QFile(Path(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
            outcome = Ctl({"read", "--port", QString::fromLatin1(name)});
            QCOMPARE(outcome.status, 3);
            QVERIFY2(outcome.err.contains(QStringLiteral("port %1 does not exist: no port is named %1 (COM1 to COM256)")
                                              .arg(QString::fromLatin1(name))),
                     qPrintable(outcome.err));
        }
        // COM12 in any letter case: found as COM1 to COM9 are, here a link in the working folder
        QFile::link(QStringLiteral("/dev/null"), Path(QStringLiteral("COM12")));
        outcome = Ctl({"read", "--port", "cOm12"});
        QVERIFY2(outcome.err.contains("COM12 (/dev/null)"), qPrintable(outcome.err));

        QProcess holder;
        holder.setWorkingDirectory(m_dir.path());
        holder.start(QCoreApplication::applicationDirPath() + "/hold_port", {"1"});
        QVERIFY(holder.waitForReadyRead(10000));
        outcome = Ctl({"read"});
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(10000));
        QCOMPARE(outcome.status, 3);
        QVERIFY2(outcome.err.contains("COM1") && outcome.err.contains("held by another program"),
                 qPrintable(outcome.err));
    }
};

QTEST_GUILESS_MAIN(TestVelqorctl)
#include "tst_velqorctl.moc"
