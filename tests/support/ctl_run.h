#pragma once
// velqorctl run from an end-to-end test (VELQORCTL_PATH is the test's compile definition).

#include <QProcess>
#include <QStringList>
#include <QtTest>

// What one run left: its exit status (-1 when it did not end normally) and its output.
struct CtlRun {
    int status = -1;
    QString out, err;
};

inline void StartCtl(QProcess &process, const QString &folder, const QStringList &arguments)
{
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(VELQORCTL_PATH), arguments);
}

// Waits for a started run with the event loop going, so that a server of the test can
// answer meanwhile; a run still going after a minute is ended.
inline CtlRun FinishCtl(QProcess &process)
{
    CtlRun run;
    if (QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000)
        && process.exitStatus() == QProcess::NormalExit)
        run.status = process.exitCode();
    process.kill();
    process.waitForFinished();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

inline CtlRun RunCtl(const QString &folder, const QStringList &arguments)
{
    QProcess process;
    StartCtl(process, folder, arguments);
    return FinishCtl(process);
}
