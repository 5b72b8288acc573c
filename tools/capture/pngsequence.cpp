#include "pngsequence.h"

#include <QDir>
#include <QImage>

PngSequence::PngSequence(const QString &directory)
    : m_output(directory, PendingOutput::Kind::Folder)
{
}

bool PngSequence::open()
{
    return m_output.create() || fail(m_output.error());
}

bool PngSequence::write(const QImage &frame, qint64 showFrame)
{
    const QString path = QDir(m_output.path()).filePath(fileName(showFrame));
    // The alpha channel holds the fade, which the colour carries already.
    QImage opaque = frame;
    opaque.reinterpretAsFormat(QImage::Format_RGBX8888);
    if (!opaque.convertToFormat(QImage::Format_RGB888).save(path, "PNG"))
        return fail(QStringLiteral("cannot write %1").arg(path));
    return true;
}

bool PngSequence::commit()
{
    return m_output.commit() || fail(m_output.error());
}

QString PngSequence::fileName(qint64 showFrame)
{
    return QStringLiteral("frame-%1.png").arg(showFrame, 5, 10, QLatin1Char('0'));
}
