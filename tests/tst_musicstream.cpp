// The music file's audio read as a stream from any frame, as a player that
// seeks reads it: the payload where there is one, silence before and after.

#include "datarows.h"
#include "musicfiles.h"
#include "musicstream.h"

#include <QTemporaryDir>
#include <QtTest>

using MusicFiles::head;

class MusicStreamTest : public QObject
{
    Q_OBJECT

private slots:
    void readsThePayloadFromAnyFrameAndSilenceOutsideIt_data();
    void readsThePayloadFromAnyFrameAndSilenceOutsideIt();
    void readingBackAndForthGivesTheSameBytes();
    void onlyARegularFileOpens_data();
    void onlyARegularFileOpens();

private:
    QString write(const QByteArray &content);

    QTemporaryDir m_dir;
};

QString MusicStreamTest::write(const QByteArray &content)
{
    const QString path = m_dir.filePath(QStringLiteral("music.bmm"));
    return MusicFiles::write(path, content) ? path : QString();
}

void MusicStreamTest::readsThePayloadFromAnyFrameAndSilenceOutsideIt_data()
{
    const QByteArray music = head(2, {100, 200}) + MusicFiles::payload(5000);
    addRows<QByteArray, int, qint64, int>({"content", "payloadOffset", "first", "frames"},
            {{"from the start", music, 12, qint64(0), 882},
             {"from the middle", music, 12, qint64(2345), 882},
             {"across the start: silence, then the payload", music, 12, qint64(-300), 882},
             {"across the end: the payload, then silence", music, 12, qint64(4500), 882},
             {"wholly before the start", music, 12, qint64(-10000), 882},
             {"wholly past the end", music, 12, qint64(7000), 882},
             {"far past the end", music, 12, (qint64(1) << 40), 882},
             {"a trailing partial frame plays as it is",
              head(0, {}) + MusicFiles::payload(100) + QByteArray("\x11\x22\x33", 3), 4, qint64(50), 882},
             {"no payload: silence", head(1, {0}), 8, qint64(0), 882},
             {"a truncated list leaves no payload", head(5, {50, 100}) + QByteArray("\x01\x02", 2), 14, qint64(0),
              882}});
}

void MusicStreamTest::readsThePayloadFromAnyFrameAndSilenceOutsideIt()
{
    QFETCH(QByteArray, content);
    QFETCH(int, payloadOffset);
    QFETCH(qint64, first);
    QFETCH(int, frames);

    MusicStream stream;
    QCOMPARE(stream.open(write(content)), QString());
    const QByteArray payload = content.mid(payloadOffset);
    QCOMPARE(stream.frames(), qint64(payload.size() / 8));

    // What the stream should give: the payload placed at frame 0 of silence.
    const qint64 length = qint64(frames) * 8;
    QByteArray expected(int(length), '\0');
    for (qint64 i = 0; i < length; ++i) {
        const qint64 at = first * 8 + i;
        if (at >= 0 && at < payload.size())
            expected[int(i)] = payload[int(at)];
    }
    // Stale bytes in the buffer must not survive.
    QByteArray buffer(int(length), '\x7f');
    stream.read(first, buffer.data(), length);
    QCOMPARE(buffer, expected);
}

void MusicStreamTest::readingBackAndForthGivesTheSameBytes()
{
    const QByteArray payload = MusicFiles::payload(44100);
    MusicStream stream;
    QCOMPARE(stream.open(write(head(1, {250}) + payload)), QString());
    QCOMPARE(stream.beats(), QList<int>{250});

    // On from the start in buffers, then jumps back and forth.
    const int buffer = MusicFiles::bufferBytes;
    QByteArray bytes(buffer, '\0');
    for (qint64 frame = 0; frame < 44100; frame += 882) {
        stream.read(frame, bytes.data(), buffer);
        QCOMPARE(bytes, payload.mid(int(frame * 8), buffer));
    }
    for (const qint64 frame : {30000, 100, 43000, 0, 22050}) {
        stream.read(frame, bytes.data(), buffer);
        QCOMPARE(bytes, payload.mid(int(frame * 8), buffer).leftJustified(buffer, '\0'));
    }
}

void MusicStreamTest::onlyARegularFileOpens_data()
{
    addRows<QString, QString>({"name", "why"},
            {{"missing", QStringLiteral("missing.bmm"), QStringLiteral("no such file")},
             {"a folder", QStringLiteral("folder.bmm"), QStringLiteral("not a regular file")}});
}

void MusicStreamTest::onlyARegularFileOpens()
{
    QFETCH(QString, name);
    QFETCH(QString, why);
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("folder.bmm")));

    MusicStream stream;
    const QString path = m_dir.filePath(name);
    QCOMPARE(stream.open(path), path + QStringLiteral(": ") + why);
    QVERIFY(!stream.isOpen());
    QCOMPARE(stream.frames(), qint64(0));
    QByteArray buffer(64, '\x7f');
    stream.read(0, buffer.data(), buffer.size());
    QVERIFY(MusicFiles::allZero(buffer));
}

QTEST_MAIN(MusicStreamTest)
#include "tst_musicstream.moc"
