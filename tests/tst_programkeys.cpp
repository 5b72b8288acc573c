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
        // Its log is read here: its once-a-second reports tell that it draws.
        m_show.setProcessChannelMode(QProcess::ForwardedOutputChannel);
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
        m_windowId = ProcessRun::visibleWindowOf(m_show.processId(), 15000);
        if (m_windowId.isEmpty())
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

    // Waits until the show has reported `count` more seconds of frames
    // (a report is two numbers a line: the frames, then the show timer's
    // seconds) than when it was last asked, however slowly a loaded machine
    // draws them.
    bool drawsOn(int count)
    {
        const int wanted = m_reports + count;
        return QTest::qWaitFor([&] {
            m_log += m_show.readAllStandardError();
            int numbers = 0;
            for (const QByteArray &line : m_log.split('\n')) {
                bool number = false;
                line.trimmed().toDouble(&number);
                numbers += number ? 1 : 0;
            }
            m_reports = numbers / 2;
            return m_reports >= wanted;
        }, 30000);
    }

    QProcess &process() { return m_show; }

private:
    QTemporaryDir m_dir;
    QProcess m_show;
    QString m_windowId;
    QByteArray m_log;
    int m_reports = 0;
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
    QVERIFY(show.drawsOn(1));
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
    QVERIFY(show.drawsOn(2));

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
    // Two seconds of frames drawn while held.
    QVERIFY(show.drawsOn(2));
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
