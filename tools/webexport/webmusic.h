#ifndef WEBMUSIC_H
#define WEBMUSIC_H

#include <QString>
#include <QtGlobal>

#include <functional>

// The show's music made light for the web: its head as it stands (the beat
// list, which the page's program reads as the show reads it) in a music file
// of its own, and its sound as MP3, which every browser's Web Audio decodes.
// The encoder's tag at the head of the MP3 gives its delay and padding, so
// that a decoder gives back exactly the music's frames, from its first.
namespace WebMusic {

// The MP3's bit rate: 192 kbit/s, where a listener cannot tell it from the
// original at normal volume, 0.9 MB for the installed show's 38 s.
constexpr int kilobitsPerSecond = 192;

struct Written
{
    QString error;     // one line naming the file, or empty
    qint64 frames = 0; // the music's frames, as many as the MP3 decodes to
};

// Reads the music file at `music` and writes `head` (its count and beat
// times, byte for byte) and `soundtrack` (the MP3). A music file whose head
// is not whole is refused: the page would play nothing of it. progress(done,
// total) reports frames encoded.
Written write(const QString &music, const QString &head, const QString &soundtrack,
              const std::function<void(qint64, qint64)> &progress = {});

} // namespace WebMusic

#endif // WEBMUSIC_H
