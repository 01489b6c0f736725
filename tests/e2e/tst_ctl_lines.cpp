// velqorctl finding and reaching modules: scan against one simulator answering two
// addresses, ports following a COMn link, the same frames over TCP (socat listening on
// 127.0.0.1 only, bridged to the pty), monitor's count, and the traffic log.

#include "support/ctl_run.h"
#include "support/module_frames.h"
#include "support/pty_pair.h"
#include "support/sim_process.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <sys/socket.h>

class TstCtlLines : public QObject {
    Q_OBJECT

    using Run = CtlRun;

    QTemporaryDir m_dir;
    std::unique_ptr<PtyPair> m_line;
    std::unique_ptr<SimProcess> m_sim;

    QString Path(const QString &name) const { return m_dir.filePath(name); }

    Run Ctl(const QStringList &arguments) { return RunCtl(m_dir.path(), arguments); }

    // The addresses the simulator saw asked, in order, from its "req"/"other" lines.
    QStringList Asked() const
    {
        QStringList asked;
        for (const QString &line : m_sim->Lines())
            if (line.startsWith("req ") || line.startsWith("other "))
                asked << QString::number(line.section(' ', 1, 1).toInt(nullptr, 16));
        return asked;
    }

    // socat serving COM1 on a free TCP port of the loopback, one connection; its address.
    QString StartBridge(QProcess &bridge)
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost))
            return {};
        const QString port = QString::number(probe.serverPort());
        probe.close();
        bridge.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        bridge.start("socat", {"-d", "-d", "TCP-LISTEN:" + port + ",bind=127.0.0.1,reuseaddr",
                               "OPEN:" + Path("COM1") + ",raw,echo=0"});
        QByteArray said;
        return QTest::qWaitFor([&] { return (said += bridge.readAllStandardError()).contains("listening on"); }, 5000)
                   ? "tcp://127.0.0.1:" + port : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_line = std::make_unique<PtyPair>(Path("COM1"), Path("module"));
        QVERIFY(m_line->Start());
        m_sim = std::make_unique<SimProcess>(QStringLiteral(VELQOR_SIM_PATH), Path("sim.log"));
        QVERIFY(m_sim->Start({"--device", Path("module"), "--slave", "3", "--also-slave", "7"}));
    }

    void cleanup()
    {
        if (QTest::currentTestFailed())
            qWarning("--- simulator output ---\n%s", qPrintable(m_sim->Log()));
    }

    void scan_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("asked");
        QTest::newRow("two modules in 2-8") << QStringList{"scan", "--slaves", "2-8", "--json"} << 0
                                            << "[{\"baud\":9600,\"slave\":3},{\"baud\":9600,\"slave\":7}]\n"
                                            << "2 3 4 5 6 7 8";
        QTest::newRow("a list, in its order") << QStringList{"scan", "--slaves", "7,2-3", "--json"} << 0
                                              << "[{\"baud\":9600,\"slave\":7},{\"baud\":9600,\"slave\":3}]\n"
                                              << "7 2 3";
        QTest::newRow("one address, text") << QStringList{"scan", "--slaves", "7"} << 0 << "slave 7 baud 9600\n"
                                           << "7";
        QTest::newRow("none in 8-9") << QStringList{"scan", "--slaves", "8-9"} << 1 << "" << "8 9";
        QTest::newRow("two rates") << QStringList{"scan", "--slaves", "3", "--bauds", "19200,4800", "--json"} << 0
                                   << "[{\"baud\":19200,\"slave\":3},{\"baud\":4800,\"slave\":3}]\n" << "3 3";
        QTest::newRow("bad range: nothing asked") << QStringList{"scan", "--slaves", "9-2"} << 2 << "" << "";
        QTest::newRow("bad TCP port: nothing asked") << QStringList{"scan", "--port", "tcp://127.0.0.1:0"} << 2 << ""
                                                     << "";
        QTest::newRow("rates over TCP: nothing asked")
            << QStringList{"scan", "--port", "tcp://127.0.0.1:9", "--bauds", "all"} << 2 << "" << "";
    }
    void scan()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, asked);
        const int before = static_cast<int>(Asked().size());
        const Run run = Ctl(arguments);
        QCOMPARE(run.status, status);
        QCOMPARE(run.out, out);
        QVERIFY2(status != 0 || run.err.isEmpty(), qPrintable(run.err));  // no progress bar into a pipe
        QTRY_COMPARE(Asked().mid(before).join(' '), asked);
    }

    // INT, TERM and HUP end a command inside a long wait, the same way for every command:
    // exit 128 + n, a scan with what it found printed.
    void stopSignals_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("asked");  // the address asked when the signal comes
        QTest::addColumn<QByteArray>("out");
        for (const auto &[name, number] : {std::pair{"INT", SIGINT}, {"TERM", SIGTERM}, {"HUP", SIGHUP}}) {
            QTest::addRow("scan, %s", name) << number << QStringList{"scan", "--slaves", "3-9", "--json", "--timeout", "8000"} << "4"
                                            << QByteArray("[{\"baud\":9600,\"slave\":3}]\n");
            QTest::addRow("read waiting, %s", name) << number << QStringList{"read", "--slave", "5", "--timeout", "20000"}
                                                    << "5" << QByteArray();
        }
        QTest::newRow("monitor between reads, TERM") << int(SIGTERM) << QStringList{"monitor", "--slave", "5", "--timeout", "1", "--interval", "20000"}
                                                     << "5" << QByteArray();
    }
    void stopSignals()
    {
        QFETCH(int, signal);
        QFETCH(QStringList, arguments);
        QFETCH(QString, asked);
        QFETCH(QByteArray, out);
        const auto before = Asked().size();
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral(VELQORCTL_PATH), arguments);
        QTRY_VERIFY(Asked().mid(before).contains(asked));
        ::kill(static_cast<pid_t>(process.processId()), signal);
        QVERIFY(process.waitForFinished(3000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 128 + signal);
        QCOMPARE(process.readAllStandardOutput(), out);
        QVERIFY2(process.readAllStandardError().contains(": stopped by SIG"), "the stop is not told");
    }

    // The log holds one request line and one reply line per address.
    void logOfScan()
    {
        QVERIFY(Ctl({"scan", "--slaves", "6-7", "--log", Path("traffic.log")}).status == 0);
        QFile file(Path("traffic.log"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString log = QString::fromLatin1(file.readAll());
        const QRegularExpression lines(
            "^\\S+ \\S+ tx 06 03 00 00 00 01 85 BD\n\\S+ \\S+ rx - : no reply\n"
            "\\S+ \\S+ tx 07 03 00 00 00 01 84 6C\n\\S+ \\S+ rx 07 03 02 00 64 \\S\\S \\S\\S : good\n$");
        QVERIFY2(lines.match(log).hasMatch(), qPrintable(log));
        // "-": the log on standard output, among the results
        const Run run = Ctl({"scan", "--slaves", "7", "--log", "-"});
        QVERIFY2(QRegularExpression("^\\S+ \\S+ tx 07 03 00 00 00 01 84 6C\n\\S+ \\S+ rx 07 03 02 00 64 \\S\\S \\S\\S : good\n"
                                    "slave 7 baud 9600\n$").match(run.out).hasMatch(), qPrintable(run.out));
    }

    void portsFollowsLink()
    {
        const QString pty = QFileInfo(Path("COM1")).symLinkTarget();
        QVERIFY(Ctl({"ports", "--link", "2", pty}).status == 0);
        QFile(Path("COM3")).open(QIODevice::WriteOnly);
        QCOMPARE(Ctl({"ports", "--link", "3", pty}).status, 2);
        const Run run = Ctl({"ports"});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.contains(QRegularExpression("COM1 +" + pty + " +can be opened \\(link COM1 -> " + pty + "\\)")),
                 qPrintable(run.out));
        QVERIFY2(run.out.contains(QRegularExpression("COM2 +" + pty + " +can be opened \\(link COM2 -> " + pty + "\\)")),
                 qPrintable(run.out));
        // a read through the new link reaches the module
        QCOMPARE(Ctl({"--port", "COM2", "--slave", "3", "read"}).status, 0);
    }

    void overTcp()
    {
        QProcess bridge;
        const QString address = StartBridge(bridge);
        QVERIFY(!address.isEmpty());
        // the scheme in any letter case
        Run run = Ctl({"--port", "TCP" + address.mid(3), "--slave", "7", "read", "--json"});
        QCOMPARE(run.status, 0);
        QCOMPARE(QJsonDocument::fromJson(run.out.toUtf8())["module_baud"].toInt(), 9600);
        QCOMPARE(m_sim->Last("req "), "req " + ReadRequestText(7));
        QVERIFY(bridge.waitForFinished(5000));  // socat serves one connection
        run = Ctl({"--port", address, "read"});
        QCOMPARE(run.status, 3);
        QVERIFY2(run.err.contains("connection refused"), qPrintable(run.err));
    }

    void monitorCount_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("complaints");
        QTest::newRow("three reads") << QStringList{"--slave", "3"} << 0 << 3 << 0;
        QTest::newRow("three JSON lines") << QStringList{"--slave", "3", "--json"} << 0 << 3 << 0;
        QTest::newRow("failed reads go on") << QStringList{"--slave", "5", "--timeout", "50"} << 1 << 0 << 3;
    }
    void monitorCount()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(int, lines);
        QFETCH(int, complaints);
        const Run run = Ctl(QStringList{"monitor", "--count", "3", "--interval", "20"} + arguments);
        QCOMPARE(run.status, status);
        const QStringList out = run.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(out.size(), lines);
        for (const QString &line : out)
            QVERIFY2(arguments.contains("--json") ? QJsonDocument::fromJson(line.toUtf8())["time"].isString()
                                                  : line.contains("  output off  pulse_count "),
                     qPrintable(line));
        QCOMPARE(run.err.count("no reply from slave 5"), complaints);
    }

    // A TCP connection closed in the middle of a scan ends it at once, with what was found.
    void tcpClosedMidScan()
    {
        QProcess bridge;
        const QString address = StartBridge(bridge);
        QVERIFY(!address.isEmpty());
        const auto before = Asked().size();
        QProcess scan;
        scan.start(QStringLiteral(VELQORCTL_PATH), {"--port", address, "scan", "--timeout", "100"});
        QTRY_VERIFY(Asked().mid(before).contains("8"));
        bridge.terminate();
        QVERIFY(scan.waitForFinished(5000));
        QCOMPARE(scan.exitCode(), 3);
        QCOMPARE(scan.readAllStandardOutput(), QByteArray("slave 3 baud 9600\nslave 7 baud 9600\n"));
        QVERIFY2(scan.readAllStandardError().contains("scan: " + address.toLatin1() + ": connection"),
                 "no word of the lost connection");
        QVERIFY(Asked().size() - before < 100);
    }

    // A server that floods, closes or resets: the time-out bounds the exchange whatever
    // comes, and a cut-off write says it may have been carried out; a reset and a close
    // are told apart.
    void tcpServerFaults_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");
        const QString unconfirmed = "; the write may have been carried out: read the module (velqorctl read) to see "
                                    "what it holds";
        QTest::newRow("flood of the slave's address") << "flood" << QStringList{"read"} << 1
                                                      << ": a flood of bytes (more than 4096 within 300 ms), no reply recognised, on ";
        QTest::newRow("closed after a write") << "close" << QStringList{"output", "on"} << 3
                                              << ": connection lost: closed by the server" + unconfirmed;
        QTest::newRow("reset after a write") << "reset" << QStringList{"output", "on"} << 3
                                             << ": connection lost: reset by the server" + unconfirmed;
    }
    void tcpServerFaults()
    {
        QFETCH(QString, mode);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, said);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QTcpSocket *client = nullptr;
        connect(&server, &QTcpServer::newConnection, this, [&] {
            client = server.nextPendingConnection();
            const auto flood = [client] {
                while (client->bytesToWrite() < 65536)
                    client->write(QByteArray(4096, '\x01'));
            };
            if (mode == "flood") {
                connect(client, &QTcpSocket::bytesWritten, client, flood);
                flood();
            }
            connect(client, &QTcpSocket::readyRead, client, [client, mode] {
                client->readAll();
                if (mode == "close") {
                    client->disconnectFromHost();
                } else if (mode == "reset") {
                    const linger now{1, 0};  // closed with a reset, not an orderly end
                    ::setsockopt(static_cast<int>(client->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now, sizeof now);
                    client->abort();
                }
            });
        });
        QProcess ctl;
        ctl.start(QStringLiteral(VELQORCTL_PATH), QStringList{"--port", "tcp://127.0.0.1:" + QString::number(server.serverPort()),
                                                              "--slave", "1", "--timeout", "300"} + arguments);
        QTRY_VERIFY_WITH_TIMEOUT(ctl.state() == QProcess::NotRunning, 5000);
        QCOMPARE(ctl.exitCode(), status);
        const QString err = QString::fromUtf8(ctl.readAllStandardError());
        QVERIFY2(err.contains(said) && err.count('\n') == 1, qPrintable(err));
    }

    // A serial line that goes away (the pty pair ended, as an adapter pulled) ends every
    // command at once with exit 3 and why; a scan prints what it found first, a monitor
    // stops without a flood of failed reads.
    void serialLineLost_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("faults");
        QTest::addColumn<QString>("asked");  // the request seen before the line goes
        QTest::addColumn<QString>("out");
        QTest::newRow("monitor, no interval") << QStringList{"monitor", "--interval", "0"} << "none" << "req 03" << "";
        QTest::newRow("scan") << QStringList{"scan", "--timeout", "100"} << "none" << "other 05"
                              << "slave 3 baud 9600\n";
        QTest::newRow("read waiting for its reply") << QStringList{"read", "--timeout", "20000"} << "delay 15000"
                                                    << "req 03" << "";
    }
    void serialLineLost()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, faults);
        QFETCH(QString, asked);
        QFETCH(QString, out);
        auto line = std::make_unique<PtyPair>(Path("COM4"), Path("module4"));
        QVERIFY(line->Start());
        QFile faultsFile(Path("faults4"));
        QVERIFY(faultsFile.open(QIODevice::WriteOnly));
        faultsFile.write(faults.toUtf8());
        faultsFile.close();
        SimProcess sim(QStringLiteral(VELQOR_SIM_PATH), Path("sim4.log"));
        QVERIFY(sim.Start({"--device", Path("module4"), "--slave", "3", "--faults-file", Path("faults4")}));
        QProcess ctl;
        ctl.setWorkingDirectory(m_dir.path());
        ctl.start(QStringLiteral(VELQORCTL_PATH), QStringList{"--port", "COM4", "--slave", "3"} + arguments);
        QTRY_VERIFY_WITH_TIMEOUT(!sim.Lines(asked).isEmpty(), 10000);
        line.reset();  // the adapter is pulled
        QVERIFY(ctl.waitForFinished(5000));
        QCOMPARE(ctl.exitCode(), 3);
        const QString printed = QString::fromUtf8(ctl.readAllStandardOutput());
        if (!out.isEmpty())
            QCOMPARE(printed, out);
        const QStringList err = QString::fromUtf8(ctl.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(err.size(), 1);
        QVERIFY2(err[0].contains("COM4") && err[0].contains(": connection lost: "), qPrintable(err[0]));
    }

    // The address change is a broadcast: both modules on the line take it, so --slave,
    // which would pretend to pick one, is refused. Last: the line holds no 3 and 7 after it.
    void addressOnTwoModules()
    {
        const int lines = static_cast<int>(m_sim->Lines().size());
        Run run = Ctl({"address", "9", "--slave", "3"});
        QCOMPARE(run.status, 2);
        run = Ctl({"address", "9"});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.err, QString("velqorctl: address: sent as a broadcast: every module on the line takes address 9\n"));
        QTRY_COMPARE(m_sim->Lines().mid(lines).join('\n'),
                     QString("broadcast 00 06 00 00 00 09 48 1D\nstate slave 9\nstate slave 9"));
    }
};

QTEST_MAIN(TstCtlLines)
#include "tst_ctl_lines.moc"
