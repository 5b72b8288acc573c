// Draws the printable ASCII characters into a 16 x 6 grid and saves it as the
// show's font image.

#include "pendingoutput.h"
#include "showfiles.h"

#include <QCommandLineParser>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>

namespace {

constexpr int cell = 32;
constexpr int columns = 16;
constexpr int rows = 6; // characters 32 to 127

QImage drawAtlas()
{
    QImage atlas(columns * cell, rows * cell, QImage::Format_RGBA8888);
    atlas.fill(Qt::transparent);

    QPainter painter(&atlas);
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(cell * 3 / 4);
    painter.setFont(font);
    painter.setPen(Qt::white);
    for (int i = 0; i < columns * rows; ++i) {
        const QRect box((i % columns) * cell, (i / columns) * cell, cell, cell);
        painter.drawText(box, Qt::AlignCenter, QString(QChar(32 + i)));
    }
    return atlas;
}

int failWith(const QString &message, int code)
{
    QTextStream(stderr) << "fontatlas: " << message << '\n';
    return code;
}

} // namespace

int main(int argc, char *argv[])
{
    // No window is needed to paint into an image.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Draws the printable ASCII characters (32 to 127) white on transparent, 16 to a row in cells "
            "of 32 x 32 pixels, into the PNG image the show reads as its font (%1).").arg(QLatin1String(ShowFiles::font)));
    const QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")};
    parser.addOption(help);
    parser.addPositionalArgument(QStringLiteral("OUT.png"), QStringLiteral("The image to write."));
    if (!parser.parse(app.arguments()))
        return failWith(parser.errorText() + QStringLiteral(" (fontatlas --help tells more)"), 2);
    if (parser.isSet(help)) {
        QTextStream(stdout) << parser.helpText();
        return 0;
    }
    const QStringList outputs = parser.positionalArguments();
    if (outputs.size() != 1)
        return failWith(QStringLiteral("wants one OUT.png; %1 given (fontatlas --help tells more)")
                                .arg(outputs.size()), 2);

    // Whole or not at all: an image that cannot be finished leaves nothing.
    PendingOutput output(outputs.first());
    if (!output.create())
        return failWith(output.error(), 1);
    if (!drawAtlas().save(output.path(), "PNG"))
        return failWith(QStringLiteral("%1: cannot write the PNG").arg(outputs.first()), 1);
    if (!output.commit())
        return failWith(output.error(), 1);
    return 0;
}
