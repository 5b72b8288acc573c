// Draws the printable ASCII characters into a 16 x 6 grid and saves it as the
// show's font image.

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>

int main(int argc, char *argv[])
{
    // No window is needed to paint into an image.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QStringList args = app.arguments();
    if (args.size() != 2) {
        QTextStream(stderr) << "usage: fontatlas OUT.png\n";
        return 2;
    }

    constexpr int cell = 32;
    constexpr int columns = 16;
    constexpr int rows = 6; // characters 32 to 127

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
    painter.end();

    if (!atlas.save(args.at(1), "PNG")) {
        QTextStream(stderr) << "fontatlas: cannot write " << args.at(1) << '\n';
        return 1;
    }
    return 0;
}
