// Beat times read for bmm pack --beats: the show maker's text (a time a
// line, '#' comments) and the label files audio editors export (start, end
// and text split by tabs; the start is the beat), with Windows line ends,
// blank lines, point labels, labels of a frequency range, and bad numbers
// named by file and line in one message.

#include "beatstext.h"
#include "datarows.h"
#include "failure.h"
#include "musicfiles.h"

#include <QTemporaryDir>
#include <QtTest>

class BeatsTextTest : public QObject
{
    Q_OBJECT

private slots:
    void beatsComeFromTextAndLabelFiles_data();
    void beatsComeFromTextAndLabelFiles();
    void aBadLineFailsNamingTheFileAndTheLine_data();
    void aBadLineFailsNamingTheFileAndTheLine();
    void whatUnpackWritesReadsBackTheSame();
};

void BeatsTextTest::beatsComeFromTextAndLabelFiles_data()
{
    // 500 audio-clock units a second, rounded: 0.5 s is 250, 1.002 s is 501.
    addRows<QByteArray, QList<int>>({"text", "beats"},
            {{"times", "0.5\n1.0\n", {250, 500}},
             {"comments and blanks", "# kicks\n\n  0.5  # one\n\t\n1.002\n", {250, 501}},
             {"labels", "0.500000\t0.600000\tkick\n1.000000\t1.250000\tsnare\n", {250, 500}},
             {"point labels", "2.000000\t2.000000\t\n3.5\t3.5\tdrop\n", {1000, 1750}},
             {"labels without text", "0.25\t0.5\n", {125}},
             {"a label's text with a hash", "1\t1\tkick #2\n", {500}},
             {"Windows line ends", "0.5\t0.5\tkick\r\n\r\n1.0\t1.0\tkick\r\n2.0\r\n", {250, 500, 1000}},
             {"no line end at the end", "0.5\t0.5\tkick", {250}},
             {"a frequency range under a label", "0.5\t0.6\tlow\n\\\t100.000000\t2000.000000\n1.5\t1.5\t\n", {250, 750}},
             {"a time and a tabbed comment", "0.5\t# the drop\n", {250}},
             {"labels and times mixed, in file order", "3\t3\tlate\n1\n", {1500, 500}},
             {"empty", QByteArray(), {}}});
}

void BeatsTextTest::beatsComeFromTextAndLabelFiles()
{
    QFETCH(QByteArray, text);
    QFETCH(QList<int>, beats);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("beats.txt"));
    QVERIFY(MusicFiles::write(path, text));
    try {
        QCOMPARE(readBeatsText(path), beats);
    } catch (const Failure &failure) {
        QFAIL(failure.what());
    }
}

void BeatsTextTest::aBadLineFailsNamingTheFileAndTheLine_data()
{
    // message: what follows "PATH:".
    addRows<QByteArray, QString>({"text", "message"},
            {{"not a time", "0.5\nsoon\n", "2: not a time in seconds: \"soon\""},
             {"a bad start", "0.5\t0.5\tok\r\nx\t1\tbad\r\n", "2: not a label start in seconds: \"x\""},
             {"a bad end", "\n\n1.0\tlater\tbad\n", "3: not a label end in seconds: \"later\""},
             {"a start out of range", "1e300\t1e300\thuge\n", "1: label start out of range: \"1e300\""},
             {"a time out of range", "# x\n-5e6\n", "2: time out of range: \"-5e6\""},
             {"words with spaces", "0.5 0.5 kick\n", "1: not a time in seconds: \"0.5 0.5 kick\""},
             // Found by fuzzing: a line is quoted as a terminal only prints
             // it (an escape sequence that would retitle it, a right-to-left
             // mark that would turn the line around, shown by their code
             // points) and cut at 60 characters.
             {"an escape sequence", "0.5\n\x1b]0;owned\x07\n",
              "2: not a time in seconds: \"\\u001b]0;owned\\u0007\""},
             {"a right-to-left mark", "\xe2\x80\xae" "1.0\n", "1: not a time in seconds: \"\\u202e1.0\""},
             {"a line of 70 characters", QByteArray(70, 'x'),
              "1: not a time in seconds: \"" + QString(60, QLatin1Char('x')) + "...\""}});
}

void BeatsTextTest::aBadLineFailsNamingTheFileAndTheLine()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("labels.txt"));
    QVERIFY(MusicFiles::write(path, text));
    try {
        readBeatsText(path);
        QFAIL("no failure");
    } catch (const Failure &failure) {
        QCOMPARE(QString::fromStdString(failure.what()), path + QLatin1Char(':') + message);
    }
}

void BeatsTextTest::whatUnpackWritesReadsBackTheSame()
{
    const QList<int> beats{0, 1, 250, 501, 19100, -3};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.txt"));
    QVERIFY(MusicFiles::write(path, beatsText(beats, QStringLiteral("song.bmm")).toUtf8()));
    QCOMPARE(readBeatsText(path), beats);
}

QTEST_GUILESS_MAIN(BeatsTextTest)
#include "tst_beatstext.moc"
