// The real show program, started as a user would start it.

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class ShowProgramTest : public QObject
{
    Q_OBJECT

private slots:
    void runsItsCourseWithoutItsFilesAndQuitsByItself();
};

void ShowProgramTest::runsItsCourseWithoutItsFilesAndQuitsByItself()
{
    // A directory without music.bmm and text.png.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    QProcess show;
    show.setWorkingDirectory(dir.path());
    QElapsedTimer clock;
    clock.start();
    show.start(QStringLiteral(SHOW_EXECUTABLE), {QStringLiteral("--an-option-nobody-knows")});
    QVERIFY(show.waitForStarted());
    QVERIFY2(show.waitForFinished(90000), "the show did not quit by itself");
    const qint64 ran = clock.elapsed();
    const QString log = QString::fromLocal8Bit(show.readAllStandardError());

    QCOMPARE(show.exitStatus(), QProcess::NormalExit);
    QVERIFY2(show.exitCode() == 0, qPrintable(log));
    QVERIFY2(ran >= 38200, qPrintable(QString::number(ran)));

    // Report lines come in pairs: the frame count, then the show timer's seconds.
    const QRegularExpression countLine(QStringLiteral("^\\d+$"));
    const QRegularExpression secondsLine(QStringLiteral("^\\d+\\.\\d+$|^\\d+$"));
    QStringList lines = log.split('\n', Qt::SkipEmptyParts);
    QStringList counts, seconds;
    for (int i = 0; i + 1 < lines.size(); ++i) {
        if (countLine.match(lines[i]).hasMatch() && secondsLine.match(lines[i + 1]).hasMatch()
                && lines[i + 1].contains('.')) {
            counts << lines[i];
            seconds << lines[i + 1];
            ++i;
        }
    }
    QVERIFY2(counts.size() >= 30, qPrintable(log.left(2000)));
    for (const QString &count : qAsConst(counts))
        QVERIFY(count.toInt() > 0);
    // The last report comes within the last second of the show, or from the
    // very frame that ends it, just past 38.2 s.
    const double last = seconds.last().toDouble();
    QVERIFY2(last >= 37.2 && last < 39.2, qPrintable(seconds.last()));

    // Without a music file no beat ever fires: no line of two numbers.
    QVERIFY(!QRegularExpression(QStringLiteral("(?m)^-?\\d+ \\d")).match(log).hasMatch());
    // Nothing is left behind in the directory.
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

QTEST_GUILESS_MAIN(ShowProgramTest)
#include "tst_showprogram.moc"
