#ifndef PARTJOIN_H
#define PARTJOIN_H

#include "partfile.h"
#include "pendingoutput.h"

#include <QList>
#include <QObject>
#include <QProcess>
#include <QTemporaryDir>

// Joins the parts of a capture into one video without encoding the picture
// again: the pictures copied as they are, the sound kept as the parts' own
// samples in .mkv or made AAC, in one run over the whole, for .mp4 and .mov.
// The video goes to a pending output that takes its name once ffmpeg is
// done. Parts that do not make exactly one whole capture (one missing, one
// twice, two that overlap, one unfinished, one made differently) are refused
// before anything is written.
class PartJoin : public QObject
{
    Q_OBJECT

public:
    PartJoin(const QString &output, const QStringList &parts);
    ~PartJoin() override;

    // Reads and checks the parts: empty when they make one whole capture,
    // else one line naming the part and the frames concerned.
    QString check();
    // Once checked: one line when the parts were drawn by different
    // renderers, whose frames may differ in the last bits; else empty.
    QString note() const { return m_note; }
    // Starts joining the checked parts; finished() or failed() follows from
    // the event loop.
    bool start();
    bool isDone() const { return m_output.isCommitted(); }
    QString error() const { return m_error; }

signals:
    void finished();
    void failed();

private:
    QString outputAmongTheParts() const;
    QString gap(qint64 first, qint64 end) const;
    QString renderersNote() const;
    QString listPath() const;
    QStringList ffmpegArguments() const;
    void ffmpegFinished();
    bool fail(const QString &error);

    QStringList m_paths;
    QList<PartFile> m_parts;   // in show order, once checked
    PendingOutput m_output;
    QTemporaryDir m_links;    // ffmpeg's list of the parts, and links to them
    QProcess m_ffmpeg;
    QString m_error;
    QString m_note;
};

#endif // PARTJOIN_H
