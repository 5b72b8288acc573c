// Beat times read for bmm pack --beats: the show maker's text (a time a
// line, '#' comments) and the label files audio editors export (start, end
// and text split by tabs; the start is the beat), with Windows line ends,
// blank lines, point labels, labels of a frequency range, and bad numbers
// named by file and line in one message.

#include "beatstext.h"
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
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<int>>("beats");

    // 500 audio-clock units a second, rounded: 0.5 s is 250, 1.002 s is 501.
    QTest::newRow("times") << QByteArray("0.5\n1.0\n") << QList<int>{250, 500};
    QTest::newRow("comments and blanks") << QByteArray("# kicks\n\n  0.5  # one\n\t\n1.002\n") << QList<int>{250, 501};
    QTest::newRow("labels") << QByteArray("0.500000\t0.600000\tkick\n1.000000\t1.250000\tsnare\n")
                            << QList<int>{250, 500};
    QTest::newRow("point labels") << QByteArray("2.000000\t2.000000\t\n3.5\t3.5\tdrop\n") << QList<int>{1000, 1750};
    QTest::newRow("labels without text") << QByteArray("0.25\t0.5\n") << QList<int>{125};
    QTest::newRow("a label's text with a hash") << QByteArray("1\t1\tkick #2\n") << QList<int>{500};
    QTest::newRow("Windows line ends") << QByteArray("0.5\t0.5\tkick\r\n\r\n1.0\t1.0\tkick\r\n2.0\r\n")
                                       << QList<int>{250, 500, 1000};
    QTest::newRow("no line end at the end") << QByteArray("0.5\t0.5\tkick") << QList<int>{250};
    QTest::newRow("a frequency range under a label")
            << QByteArray("0.5\t0.6\tlow\n\\\t100.000000\t2000.000000\n1.5\t1.5\t\n") << QList<int>{250, 750};
    QTest::newRow("a time and a tabbed comment") << QByteArray("0.5\t# the drop\n") << QList<int>{250};
    QTest::newRow("labels and times mixed, in file order") << QByteArray("3\t3\tlate\n1\n") << QList<int>{1500, 500};
    QTest::newRow("empty") << QByteArray() << QList<int>{};
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
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("message"); // after "PATH:"

    QTest::newRow("not a time") << QByteArray("0.5\nsoon\n") << "2: not a time in seconds: \"soon\"";
    QTest::newRow("a bad start") << QByteArray("0.5\t0.5\tok\r\nx\t1\tbad\r\n") << "2: not a label start in seconds: \"x\"";
    QTest::newRow("a bad end") << QByteArray("\n\n1.0\tlater\tbad\n") << "3: not a label end in seconds: \"later\"";
    QTest::newRow("a start out of range") << QByteArray("1e300\t1e300\thuge\n") << "1: label start out of range: \"1e300\"";
    QTest::newRow("a time out of range") << QByteArray("# x\n-5e6\n") << "2: time out of range: \"-5e6\"";
    QTest::newRow("words with spaces") << QByteArray("0.5 0.5 kick\n") << "1: not a time in seconds: \"0.5 0.5 kick\"";
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
