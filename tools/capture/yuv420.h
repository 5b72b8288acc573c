#ifndef YUV420_H
#define YUV420_H

#include <QByteArray>
#include <QSize>

// RGBA frames as the bytes of 4:2:0 YUV pictures (ffmpeg's yuv420p): BT.709
// colours in limited range, what players expect of H.264 and H.265. The
// luma plane's rows top first, then the blue and the red difference planes,
// half as wide and high. Each chroma sample sits level with the left one of
// its two columns and between its two rows, as MPEG video has it: the two
// rows averaged, the columns weighted 1/4, 1/2, 1/4.
namespace Yuv420 {

// The bytes of a picture of this size; width and height must be even.
inline int bytes(const QSize &size)
{
    return size.width() * size.height() * 3 / 2;
}

// rgba holds the frame's pixels, 4 bytes each, bottom row first as GL reads
// them back; the picture comes out top row first.
QByteArray fromRgba(const QByteArray &rgba, const QSize &size);

} // namespace Yuv420

#endif // YUV420_H
