// The beat list at the head of a music file: what the reader makes of every
// kind of head, where it leaves the file (or a pipe), and what it costs.

#include "datarows.h"
#include "musicfile.h"
#include "musicfiles.h"

#include <QTemporaryDir>
#include <QtTest>

using MusicFiles::head;
using MusicFiles::le32;

class BeatListTest : public QObject
{
    Q_OBJECT

private slots:
    void readsTheListAndLeavesTheFileRightAfterIt_data();
    void readsTheListAndLeavesTheFileRightAfterIt();
    void countFarBeyondTheFileCostsNoMoreThanItsValues_data();
    void countFarBeyondTheFileCostsNoMoreThanItsValues();

private:
    QTemporaryDir m_dir;
};

void BeatListTest::readsTheListAndLeavesTheFileRightAfterIt_data()
{
    const QByteArray second = MusicFiles::payload(44100);
    addRows<QByteArray, QList<int>, qint64>({"content", "expected", "position"},
            {{"three beats and one second of audio", head(3, {50, 100, 150}) + second, QList<int>{50, 100, 150},
              qint64(16)},
             {"an empty file", QByteArray(), QList<int>{}, qint64(0)},
             {"fewer than four bytes are all consumed", QByteArray("\x03\x00\x00", 3), QList<int>{}, qint64(3)},
             {"a count of 0 alone", le32(0), QList<int>{}, qint64(4)},
             {"a count of 0 leaves the payload at offset 4", le32(0) + second, QList<int>{}, qint64(4)},
             {"a file ending inside the list: count 5, two values and two bytes",
              head(5, {50, 100}) + QByteArray("\x01\x02", 2), QList<int>{}, qint64(14)},
             {"a file ending inside the last value", head(2, {50}) + QByteArray("\x01\x02\x03", 3), QList<int>{},
              qint64(11)},
             {"a count of 0xFFFFFFFF reads every byte as values", head(0xFFFFFFFFu, {1, 2, 3}) + second, QList<int>{},
              qint64(16 + second.size())},
             {"a count of 2^31 reads every byte as values", head(0x80000000u, {1, 2, 3}) + QByteArray("\x09", 1),
              QList<int>{}, qint64(17)},
             {"a count smaller than the values written takes the first ones", head(1, {50, 100, 150}), QList<int>{50},
              qint64(8)},
             {"a file of exactly the count and its values", head(3, {-5, 0, 20}), QList<int>{-5, 0, 20}, qint64(16)},
             {"values keep their sign and order, unsorted and repeated",
              head(5, {std::numeric_limits<int>::min(), 100, 50, 50, std::numeric_limits<int>::max()}) + second,
              QList<int>{std::numeric_limits<int>::min(), 100, 50, 50, std::numeric_limits<int>::max()},
              qint64(24)}});
}

void BeatListTest::readsTheListAndLeavesTheFileRightAfterIt()
{
    QFETCH(QByteArray, content);
    QFETCH(QList<int>, expected);
    QFETCH(qint64, position);

    const QString path = m_dir.filePath(QStringLiteral("music.bmm"));
    QVERIFY(MusicFiles::write(path, content));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));

    QCOMPARE(MusicFile::readBeatList(file), expected);
    QVERIFY(file.isOpen());
    QCOMPARE(file.pos(), position);
    // What is read next is what follows the list in the file.
    QCOMPARE(file.readAll(), content.mid(int(position)));

    // The same through a pipe, whose size is unknown while it is read and
    // which cannot seek: the same list, the same bytes left.
    QProcess pipe;
    pipe.start(QStringLiteral("cat"), {path}, QIODevice::ReadOnly);
    QVERIFY(pipe.waitForStarted());
    QVERIFY(pipe.isSequential());
    QCOMPARE(MusicFile::readBeatList(pipe), expected);
    QVERIFY(pipe.state() == QProcess::NotRunning || pipe.waitForFinished());
    QCOMPARE(pipe.readAll(), content.mid(int(position)));
}

namespace {

qint64 statusKilobytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    const QString fieldName = QLatin1String(field) + QLatin1Char(':');
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(fieldName.toLatin1()))
            return line.mid(fieldName.size()).trimmed().split(' ').first().toLongLong();
    return -1;
}

// Starts a new peak of resident memory from here.
bool resetPeakMemory()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

} // namespace

void BeatListTest::countFarBeyondTheFileCostsNoMoreThanItsValues_data()
{
    addRows<quint32>({"count"}, {{"0xFFFFFFFF", 0xFFFFFFFFu}, {"2^31", 0x80000000u},
                                 {"one more than the file holds", quint32(4 * 1024 * 1024 + 1)}});
}

void BeatListTest::countFarBeyondTheFileCostsNoMoreThanItsValues()
{
    QFETCH(quint32, count);

    // 16 MB of values: held in a list they would take 16 MB or more.
    constexpr int values = 4 * 1024 * 1024;
    const QString path = m_dir.filePath(QStringLiteral("huge-count.bmm"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(le32(count)) == 4);
        QVERIFY(file.resize(4 + qint64(values) * 4));
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));

    QVERIFY(resetPeakMemory());
    const qint64 before = statusKilobytes("VmRSS");
    const QList<int> beats = MusicFile::readBeatList(file);
    const qint64 peak = statusKilobytes("VmHWM");

    QVERIFY(beats.isEmpty());
    QCOMPARE(file.pos(), file.size());
    QVERIFY2(peak - before < 4 * 1024, qPrintable(QStringLiteral("grew by %1 kB").arg(peak - before)));
}

QTEST_GUILESS_MAIN(BeatListTest)
#include "tst_beatlist.moc"
