#ifndef PARTRECORD_H
#define PARTRECORD_H

#include "captureoptions.h"

#include <QMap>
#include <QString>
#include <QtGlobal>

#include <optional>

class FrameSchedule;

// What a part of a capture holds, written into the part's file as a tag of
// its own, so that a join can check that its parts make one whole: which
// part it is, its frames and the whole capture's, and everything that shapes
// its picture and sound.
struct PartRecord
{
    // The name of the tag in the part's file.
    static QString tagName() { return QStringLiteral("CAPTURE_PART"); }

    int part = 0;   // from 1
    int parts = 0;
    qint64 first = 0;  // the part's frames: show frame numbers
    qint64 count = 0;
    qint64 wholeFirst = 0;  // the whole capture's
    qint64 wholeCount = 0;
    // What shapes the picture and the sound, by the option that sets it:
    // "--size" -> "64x36", and the music, the font and the scene's stages
    // as digests.
    QMap<QString, QString> shape;
    // What drew the part: where its GL came from ("EGL device 1, render
    // node /dev/dri/renderD129; Slurm's GPU 1 (SLURM_JOB_GPUS=1)") and the
    // driver's name for its renderer. Not part of the shape: another GPU
    // draws the same frames, within the last bits.
    QString device;
    QString renderer;

    // The shape of what a capture with these options makes, drawing these
    // stages: the texts it draws with, not read again.
    static QMap<QString, QString> shapeOf(const CaptureOptions &options, const CaptureOptions::Stages &drawn);
    // Part k of n of the whole.
    static PartRecord of(const CaptureOptions &options, const CaptureOptions::Stages &drawn,
                         const FrameSchedule &whole, int k, int n);

    bool hasSound() const { return shape.value(QStringLiteral("--music")) != CaptureOptions::noMusic(); }

    // A record's numbers from another machine are taken up to these: far
    // beyond any capture (the show lasts 38.2 s, at most 1000 frames a
    // second), far within what the join's sums can hold.
    static constexpr qint64 mostFrames = (qint64(1) << 31) - 1;
    static constexpr int mostFps = 1000;
    // Its words (the shape's, the device's and the renderer's) up to this
    // many characters, and printable.
    static constexpr int longestText = 200;

    QString toText() const;
    // The record a text holds, or nothing when it holds none that holds
    // together (frames outside the whole, numbers that are not whole or
    // out of range, no frame rate, words that are no printable line).
    static std::optional<PartRecord> fromText(const QString &text);

    // "part 2 of 3, frames 13 to 16".
    QString describe() const;
    // Why this part is no part of the capture another part's record
    // describes: what it was made as, "made as a part of frames 13 to 31,
    // not frames 13 to 27" or "made with --size 32x18, not 64x36"; empty
    // when it is a part of that capture (the same whole, made the same way).
    QString notPartOf(const PartRecord &other) const;
};

// "frames 13 to 16", or "frame 13".
QString framesText(qint64 first, qint64 count);

#endif // PARTRECORD_H
