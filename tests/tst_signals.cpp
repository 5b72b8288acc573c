// Ctrl-C and SIGTERM: the first ends the event loop in order once it runs,
// a second while the first waits ends the process at once, and without a
// pipe for the first the signals keep their default action.

#include "datarows.h"
#include <QProcess>
#include <QtTest>

#include <csignal>

namespace {

bool waitForLine(QProcess &process, const QByteArray &line)
{
    return QTest::qWaitFor([&] {
        process.waitForReadyRead(100);
        return process.peek(1 << 16).split('\n').contains(line);
    }, 30000);
}

bool send(QProcess &process, int signal)
{
    return ::kill(pid_t(process.processId()), signal) == 0;
}

// Whether the process has its own handler for the signal, from the mask of
// caught signals the kernel shows.
bool catches(QProcess &process, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(process.processId()));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

// A signal is handled once the handler has given both signals their default
// action back. Signals of one kind sent before the first is handled merge
// into one, so a test sends a second only after this.
bool waitUntilHandled(QProcess &process)
{
    return QTest::qWaitFor([&] { return !catches(process, SIGINT) && !catches(process, SIGTERM); }, 30000);
}

} // namespace

class SignalsTest : public QObject
{
    Q_OBJECT

private slots:
    void signalEndsAStuckLoopInOrderOnceItRunsAgain_data();
    void signalEndsAStuckLoopInOrderOnceItRunsAgain();
    void secondSignalWhileTheFirstWaitsEndsTheProcessAtOnce_data();
    void secondSignalWhileTheFirstWaitsEndsTheProcessAtOnce();
    void withoutAPipeCtrlCStillEndsTheProcess();
};

void SignalsTest::signalEndsAStuckLoopInOrderOnceItRunsAgain_data()
{
    addRows<int>({"signal"}, {{"SIGINT", int(SIGINT)}, {"SIGTERM", int(SIGTERM)}});
}

void SignalsTest::signalEndsAStuckLoopInOrderOnceItRunsAgain()
{
    QFETCH(int, signal);

    QProcess probe;
    probe.start(QStringLiteral(SIGNALPROBE_EXECUTABLE), {QStringLiteral("wedge")});
    QVERIFY(waitForLine(probe, "wedged"));
    QVERIFY(catches(probe, SIGINT) && catches(probe, SIGTERM));
    QVERIFY(send(probe, signal));
    QVERIFY(waitUntilHandled(probe));

    // Stuck, the loop cannot end yet; the signal waits for it, and does not
    // end the process in its place.
    QVERIFY(!probe.waitForFinished(500));
    QCOMPARE(probe.state(), QProcess::Running);

    probe.write("go on\n");
    QVERIFY(probe.waitForFinished(30000));
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QCOMPARE(probe.exitCode(), 0);
    QVERIFY(probe.readAllStandardOutput().contains("ended in order\n"));
}

void SignalsTest::secondSignalWhileTheFirstWaitsEndsTheProcessAtOnce_data()
{
    addRows<int, int>({"first", "second"},
            {{"Ctrl-C twice", int(SIGINT), int(SIGINT)},
             {"SIGTERM twice", int(SIGTERM), int(SIGTERM)},
             {"Ctrl-C, then SIGTERM", int(SIGINT), int(SIGTERM)},
             {"SIGTERM, then Ctrl-C", int(SIGTERM), int(SIGINT)}});
}

void SignalsTest::secondSignalWhileTheFirstWaitsEndsTheProcessAtOnce()
{
    QFETCH(int, first);
    QFETCH(int, second);

    QProcess probe;
    probe.start(QStringLiteral(SIGNALPROBE_EXECUTABLE), {QStringLiteral("wedge")});
    QVERIFY(waitForLine(probe, "wedged"));
    QVERIFY(send(probe, first));
    QVERIFY(waitUntilHandled(probe));
    QVERIFY(send(probe, second));

    // The loop stays stuck: only the signal's own action can end it.
    QVERIFY(probe.waitForFinished(30000));
    QCOMPARE(probe.exitStatus(), QProcess::CrashExit);
    QCOMPARE(probe.exitCode(), second); // the signal that ended it
    QVERIFY(!probe.readAllStandardOutput().contains("ended in order"));
}

void SignalsTest::withoutAPipeCtrlCStillEndsTheProcess()
{
    QProcess probe;
    probe.start(QStringLiteral(SIGNALPROBE_EXECUTABLE), {QStringLiteral("nopipe")});
    QVERIFY(waitForLine(probe, "running"));
    QVERIFY(!catches(probe, SIGINT) && !catches(probe, SIGTERM));
    QVERIFY(send(probe, SIGINT));
    QVERIFY(probe.waitForFinished(30000));
    QCOMPARE(probe.exitStatus(), QProcess::CrashExit);
    QCOMPARE(probe.exitCode(), int(SIGINT));

    // One line says so.
    const QStringList warnings = QString::fromLocal8Bit(probe.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(warnings.size(), 1);
    QVERIFY2(warnings[0].contains(QLatin1String("no pipe")) && warnings[0].contains(QLatin1String("at once")),
             qPrintable(warnings[0]));
}

QTEST_GUILESS_MAIN(SignalsTest)
#include "tst_signals.moc"
