#include "studioinputs.h"
#include "musicplayer.h"
#include "stagewatcher.h"
#include "studiooptions.h"
#include "studioreport.h"

QString StudioInputs::open(const StudioOptions &options, MusicPlayer &player)
{
    QString folder = options.shaders;
    if (folder.isEmpty() && StageWatcher::holdsStages(QStringLiteral("shaders")))
        folder = QStringLiteral("shaders");
    if (!folder.isEmpty() && !StageWatcher::holdsStages(folder))
        return QStringLiteral("%1: no %2 and %3 in that folder")
                .arg(folder, StageWatcher::vertexName(), StageWatcher::fragmentName());
    const QString musicProblem = player.open(options.music);
    if (!musicProblem.isEmpty() && options.musicGiven)
        return musicProblem;
    if (m_font.load(options.font))
        m_font = m_font.convertToFormat(QImage::Format_RGBA8888);
    else if (options.fontGiven)
        return QStringLiteral("%1: not an image that can be read").arg(options.font);

    m_stagesFolder = folder;
    if (folder.isEmpty())
        report(QStringLiteral("studio: no shaders/%1 and shaders/%2 here: drawing the compiled-in stages, "
                              "with nothing to watch")
               .arg(StageWatcher::vertexName(), StageWatcher::fragmentName()));
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
