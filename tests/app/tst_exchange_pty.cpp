// The read exchange on the real serial port: the window opens COM1, a link to one end of a
// socat pty pair, and the test plays the module on the other end. The window keeps its
// real 100 ms pause and its real reply-check timer.
#include "support/exchange_window.h"

#include "serial/qt_serial_port.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <fcntl.h>
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
    QByteArray ReadFar();
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
    m_window->m_showMessage = [this](const QString &text) { m_messages << text; };
    QCOMPARE(m_window->Combo1->currentIndex(), 0);
    m_window->Command1_Click();
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

QByteArray TstExchangePty::ReadFar()
{
    QByteArray data;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(m_far, buffer, sizeof buffer)) > 0)
        data.append(buffer, static_cast<qsizetype>(n));
    return data;
}

void TstExchangePty::WriteFar(const std::vector<uint8_t> &bytes)
{
    QCOMPARE(::write(m_far, bytes.data(), bytes.size()), ssize_t(bytes.size()));
}

void TstExchangePty::readExchange_data()
{
    QTest::addColumn<Pieces>("reply");
    QTest::addColumn<bool>("waitBetween");  // each piece only after the window has the previous one
    QTest::addColumn<bool>("good");
    const auto full = ReadReply(kExample);
    QTest::newRow("three pieces") << Pieces{{full.begin(), full.begin() + 5}, {full.begin() + 5, full.begin() + 30},
                                            {full.begin() + 30, full.end()}}
                                  << false << true;
    QTest::newRow("two parts with a gap") << Pieces{{full.begin(), full.begin() + 18}, {full.begin() + 18, full.end()}}
                                          << true << true;
    QTest::newRow("no reply") << Pieces{} << false << false;
}

void TstExchangePty::readExchange()
{
    QFETCH(Pieces, reply);
    QFETCH(bool, waitBetween);
    QFETCH(bool, good);
    MainWindow &w = *m_window;
    for (ValueBox *field : {w.Text3, w.Text4, w.Text14})
        field->setText("-");
    ReadFar();

    w.Command3_Click();
    QByteArray request;
    QTRY_COMPARE((request += ReadFar()).toHex(' '), QByteArray("01 03 00 00 00 10 44 06"));
    std::size_t sent = 0;
    for (const auto &piece : reply) {
        if (waitBetween)
            QTRY_COMPARE(w.ReceiveBuffer.size(), 3 * sent);
        WriteFar(piece);
        sent += piece.size();
    }

    QTRY_VERIFY(!w.Timer1->isActive());
    QCOMPARE(w.Message_Show->toPlainText(), U8(good ? texts::kReplyGood : texts::kReplyBad));
    QCOMPARE(w.Text3->text(), good ? "24.0" : "-");
    QCOMPARE(w.Text4->text(), good ? "100000" : "-");
    QCOMPARE(w.Text14->text(), good ? "7" : "-");
    QCOMPARE(m_messages, QStringList());
}

QTEST_MAIN(TstExchangePty)
#include "tst_exchange_pty.moc"
