// The read exchange on the real serial port: the window opens COM1, a link to one end of a
// socat pty pair, and the test plays the module on the other end. The window keeps its
// real 100 ms pause and its real reply-check timer.
#include "support/exchange_window.h"
#include "support/module_frames.h"

#include "serial/qt_serial_port.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

class TstExchangePty : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void readExchange_data();
    void readExchange();

private:
    QByteArray ReadFar(int count);
    void WriteFar(const std::vector<uint8_t> &bytes);

    QTemporaryDir m_dir;
    QString m_previousDir = QDir::currentPath();
    QProcess m_socat;
    int m_far = -1;
    std::unique_ptr<serial::QtSerialPort> m_port;
    std::unique_ptr<MainWindow> m_window;
    QStringList m_messages;
};

void TstExchangePty::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString socat = QStandardPaths::findExecutable("socat");
    QVERIFY2(!socat.isEmpty(), "socat is needed for the pty tests (scripts/install-deps installs it)");
    const QString com1 = m_dir.filePath("COM1");
    const QString far = m_dir.filePath("far");
    m_socat.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_socat.start(socat, {"-d", "-d", "pty,raw,echo=0,link=" + com1, "pty,raw,echo=0,link=" + far});
    QVERIFY2(m_socat.waitForStarted(), qPrintable(m_socat.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(com1) && QFileInfo::exists(far), 10000);

    m_far = ::open(QFile::encodeName(far).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY2(m_far >= 0, strerror(errno));
    termios tio{};
    QCOMPARE(::tcgetattr(m_far, &tio), 0);
    ::cfmakeraw(&tio);
    QCOMPARE(::tcsetattr(m_far, TCSANOW, &tio), 0);

    QDir::setCurrent(m_dir.path());
    m_port = std::make_unique<serial::QtSerialPort>();
    m_window = std::make_unique<MainWindow>(*m_port);
    m_window->m_showMessage = [this](const QString &text, const QString &) { m_messages << text; };
    QCOMPARE(List(*m_window, "portList")->currentIndex(), 0);
    Click(*m_window, "portButton");
    QCOMPARE(m_messages, QStringList());
    QVERIFY(m_window->PortIsOpen());
}

void TstExchangePty::cleanupTestCase()
{
    m_window.reset();
    m_port.reset();
    if (m_far >= 0)
        ::close(m_far);
    if (m_socat.state() != QProcess::NotRunning) {
        m_socat.kill();
        m_socat.waitForFinished();
    }
    QDir::setCurrent(m_previousDir);
}

// Waits on the far end until `count` bytes have come, or for 5 s.
QByteArray TstExchangePty::ReadFar(int count)
{
    QByteArray data;
    pollfd readable{m_far, POLLIN, 0};
    while (data.size() < count && ::poll(&readable, 1, 5000) > 0) {
        char buffer[256];
        const ssize_t n = ::read(m_far, buffer, sizeof buffer);
        if (n <= 0)
            break;
        data.append(buffer, static_cast<qsizetype>(n));
    }
    return data;
}

void TstExchangePty::WriteFar(const std::vector<uint8_t> &bytes)
{
    QCOMPARE(::write(m_far, bytes.data(), bytes.size()), ssize_t(bytes.size()));
}

void TstExchangePty::readExchange_data()
{
    QTest::addColumn<Pieces>("reply");
    // "pause": written while the window pauses after sending; "after": back to back after
    // the pause; "gap": each piece once the window has taken in the previous one
    QTest::addColumn<QString>("when");
    QTest::addColumn<bool>("good");
    const auto full = ReadReply(kExample);
    const Pieces three{{full.begin(), full.begin() + 5}, {full.begin() + 5, full.begin() + 30},
                       {full.begin() + 30, full.end()}};
    QTest::newRow("during the pause") << Pieces{full} << "pause" << true;
    QTest::newRow("three pieces") << three << "after" << true;
    QTest::newRow("two parts with a gap") << Pieces{{full.begin(), full.begin() + 18}, {full.begin() + 18, full.end()}}
                                          << "gap" << true;
    QTest::newRow("no reply") << Pieces{} << "after" << false;
}

void TstExchangePty::readExchange()
{
    QFETCH(Pieces, reply);
    QFETCH(QString, when);
    QFETCH(bool, good);
    MainWindow &w = *m_window;
    for (ValueBox *field : {Box(w, "pwmVoltageBox"), Box(w, "pwmFrequencyBox"), Box(w, "pulseCountBox")})
        field->setText("-");

    QByteArray request;
    const auto realPause = w.m_after;
    w.m_after = [&](int ms, std::function<void()> then) {
        if (when == "pause") {
            request = ReadFar(8);
            for (const auto &piece : reply)
                WriteFar(piece);
        }
        realPause(ms, std::move(then));
    };
    Click(w, "readButton");
    w.m_after = realPause;
    if (when != "pause") {
        request = ReadFar(8);
        std::size_t sent = 0;
        for (const auto &piece : reply) {
            if (when == "gap")
                QTRY_COMPARE(Exchange(w)->ReceivedHex().size(), 3 * sent);
            WriteFar(piece);
            sent += piece.size();
        }
    }
    QCOMPARE(QString::fromLatin1(request.toHex(' ')).toUpper(), ReadRequestText());

    QTRY_VERIFY(!ReplyDue(w));
    QCOMPARE(Part<QPlainTextEdit>(w, "statusBox")->toPlainText(), U8(good ? texts::kReplyGood : texts::kReplyBad));
    QCOMPARE(Box(w, "pwmVoltageBox")->text(), good ? "24.0" : "-");
    QCOMPARE(Box(w, "pwmFrequencyBox")->text(), good ? "100000" : "-");
    QCOMPARE(Box(w, "pulseCountBox")->text(), good ? "7" : "-");
    QCOMPARE(m_messages, QStringList());
}

QTEST_MAIN(TstExchangePty)
#include "tst_exchange_pty.moc"
