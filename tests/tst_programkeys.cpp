// The real show program driven by real key presses on the X display.

#include "processrun.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

class RunningShow
{
public:
    RunningShow()
    {
        m_show.setWorkingDirectory(m_dir.path());
        m_show.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_show.start(QStringLiteral(SHOW_EXECUTABLE), QStringList());
    }

    ~RunningShow()
    {
        if (m_show.state() != QProcess::NotRunning) {
            m_show.kill();
            m_show.waitForFinished();
        }
    }

    // Waits for the show's window and gives it the keyboard.
    bool focus()
    {
        if (!m_show.waitForStarted())
            return false;
        const ProcessRun::Result found = ProcessRun::runTool(QStringLiteral("xdotool"),
                {"search", "--sync", "--onlyvisible", "--pid", QString::number(m_show.processId())}, 15000);
        m_windowId = QString::fromLatin1(found.out).split('\n', Qt::SkipEmptyParts).value(0);
        if (!found.ok() || m_windowId.isEmpty())
            return false;
        return ProcessRun::runTool(QStringLiteral("xdotool"), {"windowactivate", "--sync", m_windowId}, 15000).ok();
    }

    bool key(const QString &name)
    {
        return ProcessRun::runTool(QStringLiteral("xdotool"), {"key", name}, 15000).ok();
    }

    QImage screenshot()
    {
        const QString path = m_dir.filePath(QStringLiteral("screen.png"));
        ProcessRun::runTool(QStringLiteral("import"), {"-window", "root", path}, 15000);
        QImage image(path);
        QFile::remove(path);
        return image;
    }

    QProcess &process() { return m_show; }

private:
    QTemporaryDir m_dir;
    QProcess m_show;
    QString m_windowId;
};

} // namespace

class ProgramKeysTest : public QObject
{
    Q_OBJECT

private slots:
    void escapeEndsTheShowAtOnce();
    void spaceHoldsThePictureAndLetsItGo();
};

void ProgramKeysTest::escapeEndsTheShowAtOnce()
{
    RunningShow show;
    QVERIFY(show.focus());
    QTest::qWait(1000);
    QCOMPARE(show.process().state(), QProcess::Running);

    QElapsedTimer clock;
    clock.start();
    QVERIFY(show.key(QStringLiteral("Escape")));
    QVERIFY(show.process().waitForFinished(5000));
    // At once, with room for a loaded machine: the show would run for 38 s.
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(show.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(show.process().exitCode(), 0);
}

void ProgramKeysTest::spaceHoldsThePictureAndLetsItGo()
{
    RunningShow show;
    QVERIFY(show.focus());
    QTest::qWait(3000);

    QVERIFY(show.key(QStringLiteral("space")));
    // A frame on its way when the key came may still land, however long a
    // loaded machine takes to draw it: the picture settles first.
    QImage first;
    QVERIFY(QTest::qWaitFor([&] {
        const QImage shot = show.screenshot();
        const bool settled = !shot.isNull() && shot == first;
        first = shot;
        return settled;
    }, 30000));
    QTest::qWait(2000);
    const QImage second = show.screenshot();
    QVERIFY2(first == second, "the held picture changed");

    QVERIFY(show.key(QStringLiteral("space")));
    QVERIFY2(QTest::qWaitFor([&] { return show.screenshot() != second; }, 30000),
             "the picture stayed still after the hold was let go");

    QVERIFY(show.key(QStringLiteral("Escape")));
    QVERIFY(show.process().waitForFinished(5000));
    QCOMPARE(show.process().exitCode(), 0);
}

QTEST_GUILESS_MAIN(ProgramKeysTest)
#include "tst_programkeys.moc"
