// velqorctl over Modbus TCP (the modbus-tcp scheme, loopback only): against libmodbus's own server
// (other code than the simulator's), against the simulator as a gateway with modules
// behind it (scan, faults, retries, late replies), and against servers that misbehave
// (refuse, close, reset, stay silent, flood, or answer in RTU frames).

#include "device/parameters.h"
#include "modbus/mbap.h"
#include "support/ctl_run.h"
#include "support/module_frames.h"
#include "support/module_values.h"
#include "support/sim_process.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

class TstCtlModbusTcp : public QObject {
    Q_OBJECT

    using Run = CtlRun;

    QTemporaryDir m_dir;
    QProcess m_libmodbus;
    QString m_libmodbusAddress;
    std::unique_ptr<SimProcess> m_sim;
    QString m_simAddress;

    QString Path(const QString &name) const { return m_dir.filePath(name); }

    // velqorctl with the event loop running, so that a server of this test can answer.
    Run Ctl(const QStringList &arguments) { return RunCtl(m_dir.path(), arguments); }

    QString Log() const
    {
        QFile file(Path("traffic.log"));
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
    }

    // The libmodbus server's "req" lines so far (whole lines only).
    QStringList LibmodbusRequests()
    {
        static QString seen;
        seen += QString::fromLatin1(m_libmodbus.readAllStandardOutput());
        QStringList found;
        for (const QString &line : seen.left(seen.lastIndexOf('\n') + 1).split('\n', Qt::SkipEmptyParts))
            if (line.startsWith("req "))
                found << line.mid(4);
        return found;
    }

    // The server's output reaches this test after velqorctl has ended: wait for the count.
    QStringList LibmodbusRequests(int count)
    {
        (void)QTest::qWaitFor([&] { return LibmodbusRequests().size() >= count; }, 10000);
        return LibmodbusRequests();
    }

    static QString Address(quint16 port) { return QString("modbus-tcp://127.0.0.1:%1").arg(port); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_libmodbus.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_libmodbus.start(QStringLiteral(MODBUS_TCP_SERVER_PATH), {});
        QVERIFY(QTest::qWaitFor([&] { return m_libmodbus.canReadLine(); }, 10000));
        const QString ready = QString::fromLatin1(m_libmodbus.readLine()).trimmed();
        QVERIFY2(ready.startsWith("ready "), qPrintable(ready));
        m_libmodbusAddress = Address(ready.mid(6).toUShort());
        m_sim = std::make_unique<SimProcess>(QStringLiteral(VELQOR_SIM_PATH), Path("sim.log"));
        QVERIFY(m_sim->Start({"--modbus-tcp", "0", "--slave", "3", "--also-slave", "7", "--faults-file",
                              Path("faults")}));
        m_simAddress = m_sim->Last("ready ").section(' ', 1, 1);
        QVERIFY2(m_simAddress.startsWith("modbus-tcp://127.0.0.1:"), qPrintable(m_simAddress));
    }

    void cleanup()
    {
        QFile::remove(Path("faults"));
        QFile::remove(Path("traffic.log"));
        if (QTest::currentTestFailed())
            qWarning("--- simulator output ---\n%s", qPrintable(m_sim->Log()));
        // the simulator serves one connection at a time: once it answers again, requests
        // a test left (delayed replies) no longer hold up the next test
        QCOMPARE(Ctl({"--port", m_simAddress, "--slave", "3", "--timeout", "5000", "read"}).status, 0);
    }

    // Each request its own transaction, the unit id --slave, no CRC; the log shows the
    // MBAP frames.
    void againstLibmodbus()
    {
        Run run = Ctl({"--port", m_libmodbusAddress.toUpper(), "--slave", "7",
                       "write", "--set", "pwm_duty=12.5", "--log", Path("traffic.log")});
        QCOMPARE(run.status, 0);
        // read, write the block, read back: the MBAP header and the function of each
        const auto block = modbus::BuildReadRequest(7, device::kReadBlockFirst, device::kReadBlockCount);
        const auto head = [](const std::vector<uint8_t> &mbap) { return FrameText(mbap).left(23); };
        QStringList heads;
        for (const QString &request : LibmodbusRequests(3))
            heads << request.left(23);
        QCOMPARE(heads, QStringList({head(modbus::MbapFromRtu(1, block)),
                                     head(modbus::MbapFromRtu(2, device::BuildParameterWriteRequest(7, kModuleStart))),
                                     head(modbus::MbapFromRtu(3, block))}));
        // the reply: its MBAP header, then the byte count and pwm_voltage 10.0 V
        const auto reply = modbus::MbapFromRtu(1, ReadReply(std::vector<uint16_t>(device::kReadBlockCount, 100), 7));
        const QString log = Log();
        QVERIFY2(QRegularExpression("^\\S+ \\S+ tx " + FrameText(modbus::MbapFromRtu(1, block)) + "\n"
                                    "\\S+ \\S+ rx " + FrameText(reply).left(32) + " [0-9A-F ]+ : good\n")
                     .match(log).hasMatch(),
                 qPrintable(log));
        run = Ctl({"--port", m_libmodbusAddress, "--slave", "7", "read", "--json"});
        QCOMPARE(run.status, 0);
        const QJsonDocument read = QJsonDocument::fromJson(run.out.toUtf8());
        QCOMPARE(read["pwm_duty"].toDouble(), 12.5);
        QCOMPARE(read["retries"].toInt(), 0);
        // the broadcast goes to unit 0 and is said to be unconfirmable
        run = Ctl({"--port", m_libmodbusAddress, "address", "9"});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.err.contains("unit 0") && run.err.contains("cannot be confirmed"), qPrintable(run.err));
        QCOMPARE(LibmodbusRequests(5).value(4), FrameText(modbus::MbapFromRtu(1, AddressChangeRequest(9))));
    }

    // The simulator as a gateway: a unit without a module gets exception 11, which is no
    // module; --bauds is refused.
    void scanUnits()
    {
        Run run = Ctl({"--port", m_simAddress, "scan", "--slaves", "1-8", "--json"});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QString("[{\"baud\":9600,\"slave\":3},{\"baud\":9600,\"slave\":7}]\n"));
        run = Ctl({"--port", m_simAddress, "--slave", "5", "read"});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("read: gateway: the module did not answer (exception 11)"), qPrintable(run.err));
        run = Ctl({"--port", m_simAddress, "scan", "--bauds", "all"});
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.contains("the gateway sets the line's rate"), qPrintable(run.err));
    }

    // A lost reply is asked again: the request goes silent once, the retry is answered.
    void retryAfterSilence()
    {
        QFile faults(Path("faults"));
        QVERIFY(faults.open(QIODevice::WriteOnly) && faults.write("silent") > 0);
        faults.close();
        const int before = m_sim->Count("fault silent");
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral(VELQORCTL_PATH), {"--port", m_simAddress, "--slave", "3", "--timeout", "500",
                                                       "--retries", "3", "--log", Path("traffic.log"), "read", "--json"});
        QTRY_VERIFY(m_sim->Count("fault silent") > before);  // the first request went unanswered
        QVERIFY(faults.open(QIODevice::WriteOnly | QIODevice::Truncate));
        faults.close();
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
        const QJsonDocument read = QJsonDocument::fromJson(process.readAllStandardOutput());
        QVERIFY(read["retries"].toInt() >= 1);
        QVERIFY2(Log().contains(" retry 1 of 3 (no reply)\n"), qPrintable(Log()));
    }

    // Replies come after their time-out: each is dropped and logged, never taken for the
    // answer to a later request.
    void lateRepliesDropped()
    {
        QFile faults(Path("faults"));
        // a slow reply within its time-out is taken, however the wait for it is cut up
        QVERIFY(faults.open(QIODevice::WriteOnly) && faults.write("delay 150") > 0);
        faults.close();
        QCOMPARE(Ctl({"--port", m_simAddress, "--slave", "3", "--timeout", "1000", "read"}).status, 0);
        QVERIFY(faults.open(QIODevice::WriteOnly | QIODevice::Truncate) && faults.write("delay 600") > 0);
        faults.close();
        const Run run = Ctl({"--port", m_simAddress, "--slave", "3", "--timeout", "400", "--log", Path("traffic.log"),
                             "monitor", "--count", "3", "--interval", "0"});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out, QString());
        // the MBAP header of the read block's reply, then its function and byte count
        const auto reply = modbus::MbapFromRtu(1, ReadReply(std::vector<uint16_t>(device::kReadBlockCount), 3));
        QVERIFY2(Log().contains(QRegularExpression("rx " + FrameText(reply).left(26) + " [0-9A-F ]+ : late reply to "
                                                   "transaction 1, dropped\n")),
                 qPrintable(Log()));
    }

    // The wrong kind of server at the other end: the message says which scheme fits.
    void wrongKind()
    {
        // a Modbus gateway reached with tcp://
        const QString raw = QString(m_simAddress).replace("modbus-tcp://", "tcp://");
        Run run = Ctl({"--port", raw, "--slave", "3", "--timeout", "300", "read"});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("the server answers in Modbus TCP frames: a Modbus gateway, reached with " + m_simAddress),
                 qPrintable(run.err));
        // a transparent serial server passes an RTU reply back
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        connect(&server, &QTcpServer::newConnection, this, [&server] {
            QTcpSocket *socket = server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                socket->readAll();
                socket->write(QByteArray::fromHex("0303020064C06F"));
            });
        });
        run = Ctl({"--port", Address(server.serverPort()), "--slave", "3", "--timeout", "300", "read"});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("answers in RTU frames: a transparent serial server, reached with tcp://127.0.0.1:"),
                 qPrintable(run.err));
    }

    // Bad servers: each a clear message and its exit status, within the time-out.
    void badServers_data()
    {
        QTest::addColumn<QString>("behaviour");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");
        QTest::newRow("refused") << "refuse" << 3 << "connection refused (is the Modbus gateway's TCP port right?)";
        QTest::newRow("no connection within the time-out") << "unanswered" << 3 << "unreachable, no connection within 300 ms";
        QTest::newRow("closes") << "close" << 3 << "connection";
        QTest::newRow("resets") << "reset" << 3 << "connection";
        QTest::newRow("silent") << "silent" << 1 << "no reply from slave 1 within 300 ms";
        QTest::newRow("floods with garbage") << "garbage" << 1 << "no Modbus TCP frame";
        QTest::newRow("floods with other transactions") << "others" << 1 << "only replies to other transactions";
    }
    void badServers()
    {
        QFETCH(QString, behaviour);
        QFETCH(int, status);
        QFETCH(QString, said);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        quint16 port = server.serverPort();
        if (behaviour == "refuse")
            server.close();
        // a listener whose queue is full: the kernel drops each further SYN unanswered
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        const auto closeListener = qScopeGuard([listener] { ::close(listener); });
        QTcpSocket queued;
        if (behaviour == "unanswered") {
            sockaddr_in local{};
            local.sin_family = AF_INET;
            local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            socklen_t size = sizeof local;
            QVERIFY(::bind(listener, reinterpret_cast<sockaddr *>(&local), size) == 0 && ::listen(listener, 0) == 0
                    && ::getsockname(listener, reinterpret_cast<sockaddr *>(&local), &size) == 0);
            port = ntohs(local.sin_port);
            queued.connectToHost(QHostAddress::LocalHost, port);
            QVERIFY(queued.waitForConnected(10000));
            // the listener's own count of connections waiting to be accepted
            tcp_info info{};
            socklen_t infoSize = sizeof info;
            QTRY_VERIFY(::getsockopt(listener, IPPROTO_TCP, TCP_INFO, &info, &infoSize) == 0
                        && info.tcpi_unacked > info.tcpi_sacked);
        }
        connect(&server, &QTcpServer::newConnection, this, [&] {
            QTcpSocket *socket = server.nextPendingConnection();
            const QByteArray flood = behaviour == "garbage" ? QByteArray(65536, '\x55')
                                                            : QByteArray::fromHex("FFFF000000050103020064").repeated(4096);
            connect(socket, &QTcpSocket::readyRead, socket, [socket, behaviour, flood] {
                socket->readAll();
                if (behaviour == "close") {
                    socket->disconnectFromHost();
                } else if (behaviour == "reset") {
                    const linger hard{1, 0};  // closed at once with a reset
                    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
                    socket->abort();
                } else if (behaviour != "silent") {
                    socket->write(flood);
                    connect(socket, &QTcpSocket::bytesWritten, socket, [socket, flood] {
                        if (socket->bytesToWrite() < flood.size())
                            socket->write(flood);
                    });
                }
            });
        });
        const Run run = Ctl({"--port", Address(port), "--timeout", "300", "--log", Path("traffic.log"), "read"});
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(said), qPrintable(run.err));
        QCOMPARE(run.err.count('\n'), 1);
        // a flood leaves a log of bounded size
        QVERIFY2(Log().size() < 64 * 1024, qPrintable(QString::number(Log().size())));
    }
};

QTEST_MAIN(TstCtlModbusTcp)
#include "tst_ctl_modbus_tcp.moc"
