#include "studioinputs.h"
#include "musicplayer.h"
#include "showstages.h"
#include "studiooptions.h"
#include "studioreport.h"

QString StudioInputs::open(const StudioOptions &options, MusicPlayer &player)
{
    const ShowStages::Choice stages = ShowStages::choose(options.shaders);
    if (!stages.error.isEmpty())
        return stages.error;
    const QString folder = stages.folder;
    const QString musicProblem = player.open(options.music);
    if (!musicProblem.isEmpty() && options.musicGiven)
        return musicProblem;
    if (m_font.load(options.font))
        m_font = m_font.convertToFormat(QImage::Format_RGBA8888);
    else if (options.fontGiven)
        return QStringLiteral("%1: not an image that can be read").arg(options.font);

    m_stagesFolder = folder;
    if (folder.isEmpty())
        report(QStringLiteral("studio: %1, with nothing to watch").arg(ShowStages::compiledInNote()));
    m_hasMusic = musicProblem.isEmpty();
    if (!m_hasMusic)
        report(QStringLiteral("studio: %1: no music").arg(musicProblem));
    if (m_font.isNull())
        report(QStringLiteral("studio: %1: no image there: iFont is black").arg(options.font));
    const QString deviceProblem = player.startDevice();
    if (!deviceProblem.isEmpty())
        report(QStringLiteral("studio: %1; the beats follow the picture").arg(deviceProblem));
    return {};
}
