#ifndef PIXELSIZE_H
#define PIXELSIZE_H

#include <QSize>
#include <QString>

// A picture's size as the tools take it on their command lines: WIDTHxHEIGHT.
namespace PixelSize {

// Larger than any screen, and than GL drivers commonly allow a framebuffer.
constexpr int maxSide = 16384;

// The size that text names, each side from 1 to maxSide; an invalid size
// when it names none.
QSize parse(const QString &text);

// The one line a tool gives for an option whose size it cannot take.
QString refusal(const QString &option, const QString &text);

} // namespace PixelSize

#endif
