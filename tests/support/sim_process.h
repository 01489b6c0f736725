#pragma once
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>

// The module simulator (velqor-sim) as a child process. Its stdout goes to a log file
// that the test reads line by line; the process ends with the object, and with the test
// process if that dies first.
class SimProcess {
public:
    SimProcess(const QString &program, const QString &logPath) : m_program(program), m_log(logPath)
    {
        m_process.setStandardOutputFile(m_log);
        m_process.setStandardErrorFile(m_log + QStringLiteral(".err"));
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    }
    ~SimProcess() { Kill(); }
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    // False (with a warning) when the simulator does not report its line open.
    bool Start(const QStringList &arguments)
    {
        m_process.start(m_program, arguments);
        if (!m_process.waitForStarted(5000)) {
            qWarning("velqor-sim did not start: %s", qPrintable(m_process.errorString()));
            return false;
        }
        if (QTest::qWaitFor([this] { return !Last(QStringLiteral("ready ")).isEmpty() || !IsRunning(); }, 10000)
            && IsRunning())
            return true;
        qWarning("velqor-sim is not ready:\n%s", qPrintable(Log()));
        return false;
    }

    void Kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    bool IsRunning() const { return m_process.state() != QProcess::NotRunning; }

    // Waits for the process to end by itself; false when it is still running after `ms`.
    bool WaitForEnd(int ms) { return QTest::qWaitFor([this] { return !IsRunning(); }, ms); }

    // stdout and stderr as written so far.
    QString Log() const
    {
        return QString::fromUtf8(ReadAll(m_log) + ReadAll(m_log + QStringLiteral(".err")));
    }

    QStringList Lines() const
    {
        return QString::fromUtf8(ReadAll(m_log)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // The lines that begin with `prefix` ("req ", "rep ", "regs ").
    QStringList Lines(const QString &prefix) const
    {
        QStringList found;
        for (const QString &line : Lines())
            if (line.startsWith(prefix))
                found << line;
        return found;
    }

    int Count(const QString &prefix) const { return static_cast<int>(Lines(prefix).size()); }

    // The last line that begins with `prefix`, empty when there is none.
    QString Last(const QString &prefix) const
    {
        const QStringList found = Lines(prefix);
        return found.isEmpty() ? QString() : found.last();
    }

private:
    static QByteArray ReadAll(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString m_program;
    QString m_log;
    QProcess m_process;
};
