#pragma once
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>

// A virtual serial line: socat joins two ptys and links them under the given names.
// The process ends with the object, also when a test fails.
class PtyPair {
public:
    PtyPair(const QString &nearLink, const QString &farLink) : m_near(nearLink), m_far(farLink) {}
    ~PtyPair() { Stop(); }

    // False (with a message) when socat is missing or the links do not appear.
    bool Start()
    {
        const QString socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
        if (socat.isEmpty()) {
            qWarning("socat is not installed: scripts/install-deps installs it");
            return false;
        }
        QFile::remove(m_near);
        QFile::remove(m_far);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // socat dies with the test process, also when a crash skips the destructor.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_process.start(socat, {QStringLiteral("pty,raw,echo=0,link=") + m_near,
                                QStringLiteral("pty,raw,echo=0,link=") + m_far});
        if (!m_process.waitForStarted(5000))
            return false;
        for (int i = 0; i < 500; ++i) {
            if (QFileInfo::exists(m_near) && QFileInfo::exists(m_far))
                return true;
            QTest::qWait(10);
        }
        qWarning("socat did not make its links");
        return false;
    }

    void Stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    QString m_near;
    QString m_far;
    QProcess m_process;
};
