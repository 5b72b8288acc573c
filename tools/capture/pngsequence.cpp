#include "pngsequence.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

PngSequence::PngSequence(const QString &directory)
    : m_directory(QDir::cleanPath(QFileInfo(directory).absoluteFilePath()))
{
}

bool PngSequence::open()
{
    const QFileInfo target(m_directory);
    if (target.exists() && !(target.isDir() && QDir(m_directory).isEmpty()))
        return fail(QStringLiteral("%1 is there already and is not an empty folder").arg(m_directory));

    const QDir parent = target.absoluteDir();
    if (!parent.exists())
        return fail(QStringLiteral("no folder %1 to write %2 into").arg(parent.path(), target.fileName()));
    m_partial = std::make_unique<QTemporaryDir>(parent.filePath(QStringLiteral(".%1-XXXXXX").arg(target.fileName())));
    if (!m_partial->isValid())
        return fail(QStringLiteral("cannot write into %1: %2").arg(parent.path(), m_partial->errorString()));
    // A private folder while it fills, an ordinary one once it is the output.
    QFile::setPermissions(m_partial->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                          | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    return true;
}

bool PngSequence::write(const QImage &frame, qint64 showFrame)
{
    const QString path = m_partial->filePath(fileName(showFrame));
    // The alpha channel holds the fade, which the colour carries already.
    QImage opaque = frame;
    opaque.reinterpretAsFormat(QImage::Format_RGBX8888);
    if (!opaque.convertToFormat(QImage::Format_RGB888).save(path, "PNG"))
        return fail(QStringLiteral("cannot write %1").arg(path));
    return true;
}

bool PngSequence::commit()
{
    const QString problem = moveIntoPlace(m_partial->path(), m_directory);
    if (!problem.isEmpty())
        return fail(problem);
    m_partial->setAutoRemove(false);
    return true;
}

QString PngSequence::fileName(qint64 showFrame)
{
    return QStringLiteral("frame-%1.png").arg(showFrame, 5, 10, QLatin1Char('0'));
}
