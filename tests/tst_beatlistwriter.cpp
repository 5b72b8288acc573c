// Saving edited beats into a music file: the new head as the show's own
// reader reads it, the audio after it byte for byte, the file's mode kept,
// and nothing else in the folder; a file that changed on disk since it was
// read, or whose list is cut short, is refused and left exactly as it was.

#include "beatlistwriter.h"
#include "datarows.h"
#include "musicfile.h"
#include "musicfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QDateTime>
#include <QFileInfo>
#include <QtTest>

#include <cstdio>
#include <functional>
#include <optional>

using MusicFiles::head;

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The list and the audio the show finds in a file.
struct Read
{
    QList<int> beats;
    QByteArray payload;
};

Read showRead(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    Read read;
    read.beats = MusicFile::readBeatList(file);
    read.payload = file.readAll();
    return read;
}

} // namespace

using Change = std::function<bool(const QString &path)>;
Q_DECLARE_METATYPE(Change)

class BeatListWriterTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void theHeadIsTheShowsFormat();
    void aSaveRewritesTheHeadAndKeepsTheAudio_data();
    void aSaveRewritesTheHeadAndKeepsTheAudio();
    void aFileChangedOnDiskIsRefusedAndLeftAsItWas_data();
    void aFileChangedOnDiskIsRefusedAndLeftAsItWas();
    void aListCutShortIsRefused();
    void aSaveThroughALinkReachesTheTrackAndKeepsTheLink();

private:
    QString musicPath() const { return m_dir->filePath(QStringLiteral("music.bmm")); }
    std::optional<QTemporaryDir> m_dir;
};

void BeatListWriterTest::init()
{
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
}

void BeatListWriterTest::theHeadIsTheShowsFormat()
{
    // Count, then the values, each four bytes little-endian, written out by hand.
    QCOMPARE(MusicFile::beatListBytes({}), QByteArray("\0\0\0\0", 4));
    QCOMPARE(MusicFile::beatListBytes({1, -2, 0x01020304}),
             QByteArray("\3\0\0\0" "\1\0\0\0" "\xfe\xff\xff\xff" "\4\3\2\1", 16));
}

void BeatListWriterTest::aSaveRewritesTheHeadAndKeepsTheAudio_data()
{
    const QByteArray audio = MusicFiles::payload(10000);
    // A count smaller than the values: those after it are audio to the show, and stay.
    addRows<QByteArray, QList<int>>({"file", "beats"},
            {{"more beats", head(2, {500, 1000}) + audio, {250, 750, 1250}},
             {"fewer beats", head(3, {500, 1000, 1500}) + audio, {1000}},
             {"none left", head(1, {500}) + audio, {}},
             {"a list out of order kept", head(0, {}) + audio, {900, 100, -5}},
             {"a trailing partial frame", head(1, {5}) + audio + "abc", {6}},
             {"values after the count", head(1, {500, 7, 8}) + audio, {400, 600}},
             {"no audio", head(1, {500}), {100, 200}}});
}

void BeatListWriterTest::aSaveRewritesTheHeadAndKeepsTheAudio()
{
    QFETCH(QByteArray, file);
    QFETCH(QList<int>, beats);
    QVERIFY(MusicFiles::write(musicPath(), file));
    QVERIFY(QFile::setPermissions(musicPath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                  | QFile::WriteGroup));
    const QByteArray audioBefore = showRead(musicPath()).payload;

    const MusicFile::FileStamp read = MusicFile::FileStamp::of(musicPath());
    MusicFile::FileStamp written;
    QCOMPARE(MusicFile::rewriteBeatList(musicPath(), beats, read, &written), QString());

    const Read after = showRead(musicPath());
    QCOMPARE(after.beats, beats);
    QCOMPARE(after.payload, audioBefore);
    QCOMPARE(contents(musicPath()).size(), 4 + 4 * beats.size() + audioBefore.size());
    // Owner, group and others; the user's flags repeat the owner's.
    QCOMPARE(QFile::permissions(musicPath()) & 0x7077,
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("music.bmm")});
    QVERIFY(written.isValid());
    QVERIFY(written == MusicFile::FileStamp::of(musicPath()));
    // The file read first is gone: its stamp no longer passes; the stamp of
    // the save lets the next save through.
    QVERIFY(!MusicFile::rewriteBeatList(musicPath(), {700}, read).isEmpty());
    QCOMPARE(showRead(musicPath()).beats, beats);
    QCOMPARE(MusicFile::rewriteBeatList(musicPath(), {700}, written), QString());
    QCOMPARE(showRead(musicPath()).beats, QList<int>{700});
}

void BeatListWriterTest::aFileChangedOnDiskIsRefusedAndLeftAsItWas_data()
{
    QTest::addColumn<Change>("change");

    QTest::newRow("written in place, longer") << Change([](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::Append) && file.write("xxxxxxxx") == 8;
    });
    QTest::newRow("written in place, as long") << Change([](const QString &path) {
        // The same size, only its time tells: a second later than the read,
        // given rather than waited for (the clock's step may be coarse).
        QFile file(path);
        const QDateTime read = QFileInfo(path).lastModified();
        if (!file.open(QIODevice::ReadWrite) || !file.seek(4) || file.write("\x10\0\0\0", 4) != 4)
            return false;
        return file.setFileTime(read.addSecs(1), QFileDevice::FileModificationTime);
    });
    QTest::newRow("another file renamed over it") << Change([](const QString &path) {
        const QString other = path + QStringLiteral(".new");
        return MusicFiles::write(other, contents(path)) && std::rename(QFile::encodeName(other).constData(),
                                                                       QFile::encodeName(path).constData()) == 0;
    });
    QTest::newRow("removed") << Change([](const QString &path) { return QFile::remove(path); });
}

void BeatListWriterTest::aFileChangedOnDiskIsRefusedAndLeftAsItWas()
{
    QFETCH(Change, change);
    QVERIFY(MusicFiles::write(musicPath(), head(2, {500, 1000}) + MusicFiles::payload(1000)));
    const MusicFile::FileStamp read = MusicFile::FileStamp::of(musicPath());
    QVERIFY(change(musicPath()));
    const QByteArray changed = contents(musicPath());
    const QStringList entries = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

    const QString refusal = MusicFile::rewriteBeatList(musicPath(), {1, 2, 3}, read);
    QVERIFY2(refusal.startsWith(musicPath() + QStringLiteral(": ")), qPrintable(refusal));
    QVERIFY(!refusal.contains(QLatin1Char('\n')));
    QCOMPARE(contents(musicPath()), changed);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), entries);
}

void BeatListWriterTest::aListCutShortIsRefused()
{
    // The count says 5 and the file holds 2: the show reads every byte after
    // the count as beats and plays nothing; there is no audio to keep.
    const QByteArray file = head(5, {500, 1000}) + "ab";
    QVERIFY(MusicFiles::write(musicPath(), file));
    const QString refusal = MusicFile::rewriteBeatList(musicPath(), {1}, MusicFile::FileStamp::of(musicPath()));
    QCOMPARE(refusal, musicPath() + QStringLiteral(": its beat list is cut short, so the show finds no audio in "
                                                   "it: not saved"));
    QCOMPARE(contents(musicPath()), file);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("music.bmm")});
}

void BeatListWriterTest::aSaveThroughALinkReachesTheTrackAndKeepsTheLink()
{
    const QString track = m_dir->filePath(QStringLiteral("track.bmm"));
    QVERIFY(MusicFiles::write(track, head(1, {500}) + MusicFiles::payload(100)));
    QVERIFY(QFile::link(QStringLiteral("track.bmm"), musicPath()));
    QCOMPARE(MusicFile::rewriteBeatList(musicPath(), {250, 750}, MusicFile::FileStamp::of(musicPath())), QString());
    QVERIFY(QFileInfo(musicPath()).isSymLink());
    QCOMPARE(showRead(track).beats, (QList<int>{250, 750}));
}

QTEST_GUILESS_MAIN(BeatListWriterTest)
#include "tst_beatlistwriter.moc"
