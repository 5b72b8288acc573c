#include "studiooptions.h"

#include "pixelsize.h"
#include "showstages.h"

#include <QCommandLineParser>

#include <cmath>

namespace {

// The options, shared by the reading and the help text.
struct Parser
{
    Parser()
    {
        parser.setApplicationDescription(QStringLiteral(
                "Runs the show's two shader stages from files in a window, rebuilds them whenever either is "
                "saved, and plays the music in step with the picture, for working on the show live."));
        parser.addOptions({help, shaders, music, font, size, scale, fullScreen, newShow, audioOffset});
    }

    QCommandLineParser parser;
    const QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help.")};
    const QCommandLineOption shaders{QStringLiteral("shaders"),
            QStringLiteral("Folder holding %1 and %2, watched for saves (default: %3 when it holds both, else "
                           "the stages compiled in).").arg(ShowStages::vertexName(), ShowStages::fragmentName(),
                                                           ShowStages::defaultFolder()),
            QStringLiteral("DIR")};
    const QCommandLineOption music{QStringLiteral("music"),
            QStringLiteral("The show's music file (default %1).").arg(QLatin1String(ShowFiles::music)),
            QStringLiteral("FILE")};
    const QCommandLineOption font{QStringLiteral("font"),
            QStringLiteral("Image for the font texture iFont (default %1).").arg(QLatin1String(ShowFiles::font)),
            QStringLiteral("FILE")};
    const QCommandLineOption size{QStringLiteral("size"),
            QStringLiteral("Window size (default 1280x720)."), QStringLiteral("WxH")};
    const QCommandLineOption scale{QStringLiteral("scale"),
            QStringLiteral("Render scale from 0.25 to 1: the scene is drawn at that fraction of the window "
                           "and stretched to it (default 1)."), QStringLiteral("S")};
    const QCommandLineOption fullScreen{QStringLiteral("full-screen"), QStringLiteral("Start full screen.")};
    const QCommandLineOption newShow{QStringLiteral("new"),
            QStringLiteral("Start a show of one's own: copy the installed show's stages, music and font into "
                           "DIR (new, or empty) and quit; then work on them with cd DIR and the studio."),
            QStringLiteral("DIR")};
    const QCommandLineOption audioOffset{QStringLiteral("audio-offset"),
            QStringLiteral("Play the sound this many milliseconds later than the picture (earlier when negative), "
                           "for a display or sound card that lags the other; B taps beats where the sound is "
                           "heard. Never written into the music file (default 0)."), QStringLiteral("MS")};
};

} // namespace

QString StudioOptions::parse(const QStringList &arguments)
{
    Parser options;
    QCommandLineParser &parser = options.parser;
    if (!parser.parse(arguments))
        return parser.errorText();
    helpAsked = parser.isSet(options.help);
    if (helpAsked)
        return {};

    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("the studio takes options only, not '%1'")
                .arg(parser.positionalArguments().join(QStringLiteral("' '")));

    if (parser.isSet(options.newShow)) {
        newShow = parser.value(options.newShow);
        if (newShow.isEmpty())
            return QStringLiteral("--new wants a folder");
        if (parser.optionNames().size() > 1)
            return QStringLiteral("--new takes no other options");
        return {};
    }

    if (parser.isSet(options.shaders)) {
        shaders = parser.value(options.shaders);
        if (shaders.isEmpty())
            return QStringLiteral("--shaders wants a folder");
    }
    musicGiven = parser.isSet(options.music);
    if (musicGiven) {
        music = parser.value(options.music);
        if (music.isEmpty())
            return QStringLiteral("--music wants a file");
    }
    fontGiven = parser.isSet(options.font);
    if (fontGiven) {
        font = parser.value(options.font);
        if (font.isEmpty())
            return QStringLiteral("--font wants a file");
    }

    if (parser.isSet(options.size)) {
        size = PixelSize::parse(parser.value(options.size));
        if (!size.isValid())
            return PixelSize::refusal(QStringLiteral("--size"), parser.value(options.size));
    }

    if (parser.isSet(options.scale)) {
        bool ok = false;
        scale = parser.value(options.scale).toDouble(&ok);
        if (!ok || !std::isfinite(scale) || scale < minScale || scale > maxScale)
            return QStringLiteral("--scale wants a number from %1 to %2, not '%3'")
                    .arg(minScale).arg(maxScale).arg(parser.value(options.scale));
    }

    fullScreen = parser.isSet(options.fullScreen);

    if (parser.isSet(options.audioOffset)) {
        bool ok = false;
        audioOffsetMs = parser.value(options.audioOffset).toInt(&ok);
        if (!ok || std::abs(audioOffsetMs) > maxAudioOffsetMs)
            return QStringLiteral("--audio-offset wants whole milliseconds from -%1 to %1, not '%2'")
                    .arg(maxAudioOffsetMs).arg(parser.value(options.audioOffset));
    }
    return {};
}

QString StudioOptions::helpText()
{
    QString text = Parser().parser.helpText();
    text += QStringLiteral(
            "\nKeys:\n"
            "  Up / Down        show time 10 s on / back (the music follows)\n"
            "  Right / Left     show time 1 s on / back\n"
            "  Space            hold picture and music; again to go on\n"
            "  Return           back to show time 0, picture and music\n"
            "  [ / ]            mark the loop's start / end at the show time\n"
            "  L                loop between the marks (the shot on screen without them)\n"
            "  + / -            render scale up / down\n"
            "  H                heads-up line on / off\n"
            "  T                timeline strip on / off\n"
            "  , / .            hold, and step a frame (1/60 s) back / on, with a snippet of the music\n"
            "  B                a beat where the music is heard\n"
            "  Delete           delete the selected beat\n"
            "  Alt+Left/Right   nudge the selected beat 2 ms (Shift: 20 ms)\n"
            "  Ctrl+Z           undo a beat edit; Ctrl+Shift+Z redoes it\n"
            "  Ctrl+S           save the beats into the music file\n"
            "  F11              full screen on / off\n"
            "  F12              save the frame as studio-NNNN.png in the working folder\n"
            "  Escape           quit (twice within 2 s with unsaved beat edits, as closing the window)\n"
            "\nMouse, in the timeline strip:\n"
            "  click or drag    seek (a snippet of the music while held)\n"
            "  wheel            zoom about the pointer; Shift+wheel or middle drag pans\n"
            "  loop handles     drag the loop's marks (the flags at the top)\n"
            "  beat lane        click a beat to select it, drag it to move it\n");
    return text;
}
