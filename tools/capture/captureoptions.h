#ifndef CAPTUREOPTIONS_H
#define CAPTUREOPTIONS_H

#include "showfiles.h"

#include <QByteArray>
#include <QMap>
#include <QSize>
#include <QString>
#include <QStringList>

#include <limits>

// What to capture and where to, from the command line. Each option is
// described once, in one table (captureoptions.cpp): how it is read and
// helped, whether a part's command line passes it on, and how a part's
// record holds it; a new option is one row there.
struct CaptureOptions
{
    enum class Codec { H264, H265, Ffv1 };

    QSize size{1920, 1080};
    int fps = 60;
    // Show seconds; the frames whose show time lies in [from, to).
    double from = 0.0;
    double to = std::numeric_limits<double>::infinity();

    // Each frame drawn at this many times the width and height, and each
    // block of pixels averaged into one in linear light.
    int supersample = 1;
    // The fraction of a frame's duration its sub-frames are spread over, and
    // how many there are; a shutter of 0 takes the one moment of the frame.
    double shutter = 0.0;
    int subframes = 8;

    // Exactly one of the two is set.
    QString video;
    QString pngDirectory;
    Codec codec = Codec::H264;
    int crf = -1;   // -1: the codec's own default
    QString preset; // empty: the codec's own default
    QString music = QString::fromLatin1(ShowFiles::music);
    bool musicGiven = false;
    // The folder of the show's two stages; empty: shaders/ when it holds
    // both, else the compiled-in stages.
    QString shaders;
    // The image for the font texture, iFont.
    QString font = QString::fromLatin1(ShowFiles::font);
    bool fontGiven = false;
    // Seconds ffmpeg may take no frame and write nothing before it counts as stalled.
    int stallSeconds = 120;

    // One part of the capture, the k-th of n (k from 1), for a join to put
    // together with the others; 0 of 0 for the whole.
    int part = 0;
    int parts = 0;
    // The parts to join into `video` instead of capturing.
    bool join = false;
    QStringList joinParts;
    // The capture submitted to the Slurm cluster of this machine in this
    // many parts instead (0: drawn here), with what Slurm is told of the
    // parts' jobs (empty or 0: the cluster's default).
    int slurmParts = 0;
    QString partition;
    QString timeLimit;
    QString account;
    int cpusPerTask = 0;
    // GPUs for each part (sbatch --gres=gpu:N; 0: none asked), and generic
    // resources passed to sbatch's --gres as they are.
    int gpusPerPart = 0;
    QString gres;

    // The EGL device to draw on; -1: the one Slurm allotted the task, else
    // the first GPU, else the software device.
    int device = -1;
    // List the EGL devices instead of capturing.
    bool deviceListAsked = false;

    bool helpAsked = false;

    // Reads the arguments (the program name first). Returns what is wrong
    // with them, or an empty string when they are good.
    QString parse(const QStringList &arguments);
    // Needs the application object, for the program's name.
    static QString helpText();

    // The constant rate factor and the encoder's preset the video is made with.
    int effectiveCrf() const;
    QString effectivePreset() const;
    static QString codecName(Codec codec);
    // The font image the frames are drawn with: --font's, else the working
    // folder's text.png as the show reads it, else the installed show's;
    // empty when there is none. Needs the application object.
    QString fontFile() const;
    static QString installedFont();
    // The options that make this capture's frames and sound, as a capture
    // on another machine of the same file system is given them (the music
    // file's name made absolute).
    QStringList pictureArguments() const;

    // The stages a capture draws with, as their texts.
    struct Stages
    {
        QByteArray vertex;
        QByteArray fragment;
    };
    // What shapes the picture and the sound, by the option that sets it
    // ("--size" -> "64x36"), the music, the font and the stages drawn as digests: what
    // a part's record holds, so that a join can tell parts of one capture.
    QMap<QString, QString> shape(const Stages &drawn) const;
    // For a key of the shape whose value is a digest, the words for parts
    // that differ in it ("made from another music file"); else empty.
    static QString digestDifference(const QString &key);
    // The shape's value for a music file that cannot be read: no sound track.
    static QString noMusic() { return QStringLiteral("none"); }
};

#endif // CAPTUREOPTIONS_H
