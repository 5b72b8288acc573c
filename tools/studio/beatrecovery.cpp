#include "beatrecovery.h"
#include "beatstext.h"
#include "failure.h"
#include "pendingoutput.h"

#include <QFile>
#include <QFileInfo>

BeatRecovery::BeatRecovery(const QString &musicPath)
    : m_music(musicPath)
    , m_path(musicPath + QStringLiteral(".unsaved-beats"))
{
}

bool BeatRecovery::exists() const
{
    return QFileInfo(m_path).exists() || QFileInfo(m_path).isSymLink();
}

QString BeatRecovery::keep(const QList<int> &beats) const
{
    PendingOutput output(m_path);
    if (!output.create())
        return output.error();
    QFile file(output.path());
    const QByteArray text = beatsText(beats, QStringLiteral("the studio's unsaved edits of %1").arg(m_music)).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.flush())
        return QStringLiteral("%1: cannot write: %2").arg(m_path, file.errorString());
    file.close();
    if (!output.commit())
        return output.error();
    return {};
}

std::optional<QList<int>> BeatRecovery::read(QString *problem) const
{
    problem->clear();
    if (!exists())
        return std::nullopt;
    try {
        return readBeatsText(m_path);
    } catch (const Failure &failure) {
        *problem = QString::fromStdString(failure.what());
        return std::nullopt;
    }
}

void BeatRecovery::remove() const
{
    QFile::remove(m_path);
}
