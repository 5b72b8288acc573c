#include "pngsequence.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

PngSequence::PngSequence(const QString &directory, const QSize &size)
    : m_size(size)
    , m_output(directory, PendingOutput::Kind::Folder)
{
}

bool PngSequence::open()
{
    return m_output.create() || fail(m_output.error());
}

bool PngSequence::write(const QByteArray &frame, qint64 showFrame)
{
    Q_ASSERT(frame.size() == m_size.width() * m_size.height() * 4);
    const QString path = QDir(m_output.path()).filePath(fileName(showFrame));
    // The alpha channel holds the fade, which the colour carries already.
    const QImage opaque(reinterpret_cast<const uchar *>(frame.constData()), m_size.width(), m_size.height(),
                        m_size.width() * 4, QImage::Format_RGBX8888);
    // The top row first, as images are stored.
    if (!opaque.mirrored().convertToFormat(QImage::Format_RGB888).save(path, "PNG"))
        return fail(QStringLiteral("cannot write %1").arg(path));
    m_bytes += QFileInfo(path).size();
    return true;
}

void PngSequence::finish()
{
    const bool committed = m_output.commit() || fail(m_output.error());
    QMetaObject::invokeMethod(this, committed ? &FrameSink::finished : &FrameSink::failed, Qt::QueuedConnection);
}

QString PngSequence::fileName(qint64 showFrame)
{
    return QStringLiteral("frame-%1.png").arg(showFrame, 5, 10, QLatin1Char('0'));
}
