// The music file's head read from its bytes as they arrive (the web page's
// reader) against the desktop's reader on the same files: the same beats,
// the audio from the same byte, in pieces of any size, with the file's size
// known or not.

#include "datarows.h"
#include "musicfile.h"
#include "musicfiles.h"
#include "musichead.h"

#include <QBuffer>
#include <QtTest>

#include <limits>

using MusicFiles::head;
using MusicFiles::le32;
using State = MusicFile::HeadParser::State;

namespace {

struct Reading
{
    State state = State::Reading;
    QList<int> beats;
    qint64 payloadOffset = -1;
    QByteArray rest; // the bytes the parser did not take, in order
};

// Feeds the file in pieces of the given size (0: whole), then ends it.
Reading readInPieces(const QByteArray &content, int piece, bool sizeKnown)
{
    MusicFile::HeadParser parser(sizeKnown ? content.size() : -1);
    Reading reading;
    const int step = piece > 0 ? piece : qMax(1, int(content.size()));
    for (int at = 0; at < content.size(); at += step) {
        const QByteArray bytes = content.mid(at, step);
        const std::size_t used = parser.feed(reinterpret_cast<const unsigned char *>(bytes.constData()),
                                             std::size_t(bytes.size()));
        if (parser.state() != State::Reading)
            reading.rest += bytes.mid(int(used));
        else if (used != std::size_t(bytes.size()))
            reading.rest += "(a piece taken in part while reading)";
    }
    parser.finish();
    reading.state = parser.state();
    reading.beats = QList<int>(parser.beats().cbegin(), parser.beats().cend());
    if (reading.state == State::Complete)
        reading.payloadOffset = parser.payloadOffset();
    return reading;
}

} // namespace

class MusicHeadTest : public QObject
{
    Q_OBJECT

private slots:
    void readsWhatTheDesktopReads_data();
    void readsWhatTheDesktopReads();
    void knownSizeFindsAnImpossibleCountAtOnce();
    void unknownSizeHoldsTheCountToWhatAShowCanUse_data();
    void unknownSizeHoldsTheCountToWhatAShowCanUse();
};

void MusicHeadTest::readsWhatTheDesktopReads_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("complete"); // by hand: does the file hold its whole list?

    const QByteArray second = MusicFiles::payload(44100);
    QTest::newRow("three beats and one second of audio") << head(3, {50, 100, 150}) + second << true;
    QTest::newRow("an empty file") << QByteArray() << false;
    QTest::newRow("fewer than four bytes") << QByteArray("\x03\x00\x00", 3) << false;
    QTest::newRow("a count of 0 alone") << le32(0) << true;
    QTest::newRow("a count of 0 and audio") << le32(0) + second << true;
    QTest::newRow("count 5, two values and two bytes") << head(5, {50, 100}) + QByteArray("\x01\x02", 2) << false;
    QTest::newRow("a file ending inside the last value") << head(2, {50}) + QByteArray("\x01\x02\x03", 3) << false;
    QTest::newRow("a count of 0xFFFFFFFF") << head(0xFFFFFFFFu, {1, 2, 3}) + second << false;
    QTest::newRow("a count of 2^31") << head(0x80000000u, {1, 2, 3}) + QByteArray("\x09", 1) << false;
    QTest::newRow("a count smaller than the values written") << head(1, {50, 100, 150}) << true;
    QTest::newRow("exactly the count and its values") << head(3, {-5, 0, 20}) << true;
    QTest::newRow("signs and order kept, unsorted and repeated")
        << head(5, {std::numeric_limits<int>::min(), 100, 50, 50, std::numeric_limits<int>::max()}) + second << true;
    QTest::newRow("audio with a trailing partial frame") << head(1, {7}) + second + QByteArray("\x01\x02\x03", 3) << true;
}

void MusicHeadTest::readsWhatTheDesktopReads()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, complete);

    QBuffer file(&content);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<int> desktopBeats = MusicFile::readBeatList(file);
    const qint64 desktopPayload = file.pos();

    for (const bool sizeKnown : {true, false}) {
        for (const int piece : {0, 1, 3, 5, 4096}) {
            const QString where = QStringLiteral("pieces of %1, size %2").arg(piece).arg(sizeKnown ? "known" : "unknown");
            const Reading reading = readInPieces(content, piece, sizeKnown);
            QCOMPARE(reading.beats, desktopBeats);
            if (complete) {
                QVERIFY2(reading.state == State::Complete, qPrintable(where));
                QCOMPARE(reading.payloadOffset, desktopPayload);
                // What follows the head goes on to the audio, every byte of it.
                QCOMPARE(reading.rest, content.mid(int(desktopPayload)));
            } else {
                QVERIFY2(reading.state == State::Broken, qPrintable(where));
                // The desktop's reader consumed the whole file: no audio
                // either, whatever bytes the parser left untaken.
                QCOMPARE(desktopPayload, qint64(content.size()));
            }
        }
    }
}

// With the size known, the count alone shows that no list can follow: the
// parser stops there and keeps nothing, however much the file still holds.
void MusicHeadTest::knownSizeFindsAnImpossibleCountAtOnce()
{
    const QByteArray content = head(0x80000000u, {}) + MusicFiles::payload(1000);
    MusicFile::HeadParser parser(content.size());
    const std::size_t used = parser.feed(reinterpret_cast<const unsigned char *>(content.constData()), 4);
    QCOMPARE(used, std::size_t(4));
    QVERIFY(parser.state() == State::Broken);
    QVERIFY(parser.countRead());
    QCOMPARE(parser.count(), 0x80000000u);
    QCOMPARE(parser.feed(reinterpret_cast<const unsigned char *>(content.constData()) + 4, 8), std::size_t(0));
    QVERIFY(parser.beats().empty());
}

void MusicHeadTest::unknownSizeHoldsTheCountToWhatAShowCanUse_data()
{
    // A beat for each 10-unit callback up to 2^24 units, where a float clock
    // stops counting exactly: 16777216 / 10 = 1677721, worked out by hand.
    addRows<quint32, bool>({"count", "read"},
            {{"the most beats a show can use are read", 1677721u, true},
             {"one more is broken at its count", 1677722u, false},
             {"a count of 0xFFFFFFFF is broken at its count", 0xFFFFFFFFu, false}});
}

void MusicHeadTest::unknownSizeHoldsTheCountToWhatAShowCanUse()
{
    QFETCH(quint32, count);
    QFETCH(bool, read);

    MusicFile::HeadParser parser; // the size unknown, as over a pipe or a compressed download
    const QByteArray countBytes = le32(count);
    QCOMPARE(parser.feed(reinterpret_cast<const unsigned char *>(countBytes.constData()), 4), std::size_t(4));
    QCOMPARE(parser.count(), count);
    if (!read) {
        // Nothing more is taken: a hostile stream can send on for ever.
        QVERIFY(parser.state() == State::Broken);
        QVERIFY(parser.fault() == MusicFile::HeadParser::Fault::TooManyBeats);
        QCOMPARE(parser.bytesWanted(), quint64(0));
        QCOMPARE(parser.feed(reinterpret_cast<const unsigned char *>(countBytes.constData()), 4), std::size_t(0));
        QVERIFY(parser.beats().empty());
        return;
    }
    QCOMPARE(parser.bytesWanted(), quint64(count) * 4);
    // The values 0, 1, 2 ... in pieces of 4000 values.
    QByteArray piece(16000, '\0');
    for (quint32 at = 0; at < count; at += 4000) {
        const quint32 values = qMin<quint32>(4000, count - at);
        for (quint32 i = 0; i < values; ++i)
            qToLittleEndian(at + i, piece.data() + 4 * i);
        QCOMPARE(parser.feed(reinterpret_cast<const unsigned char *>(piece.constData()), 4 * values),
                 std::size_t(4 * values));
    }
    QVERIFY(parser.state() == State::Complete);
    QCOMPARE(parser.beats().size(), std::size_t(count));
    QCOMPARE(parser.beats().back(), int(count - 1));
}

QTEST_MAIN(MusicHeadTest)
#include "tst_musichead.moc"
