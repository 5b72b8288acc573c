// The font image maker: the grid of characters it draws, its command line,
// and an image written whole or not at all.

#include "datarows.h"
#include "processrun.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int cell = 32;
constexpr int columns = 16;

ProcessRun::Result runFontAtlas(const QStringList &arguments, const QString &folder)
{
    return ProcessRun::run(QStringLiteral(FONTATLAS_EXECUTABLE), arguments, {folder});
}

// The tool's own lines, without what Qt says of the environment.
QList<QByteArray> toolLines(const QByteArray &err)
{
    QList<QByteArray> lines;
    for (const QByteArray &line : err.split('\n')) {
        if (line.startsWith("fontatlas: "))
            lines << line;
    }
    return lines;
}

// How many pixels of a character's cell are drawn.
int inkIn(const QImage &atlas, char character)
{
    const int index = character - 32;
    int ink = 0;
    for (int y = 0; y < cell; ++y) {
        for (int x = 0; x < cell; ++x)
            ink += qAlpha(atlas.pixel((index % columns) * cell + x, (index / columns) * cell + y)) > 0;
    }
    return ink;
}

} // namespace

class FontAtlasTest : public QObject
{
    Q_OBJECT

private slots:
    void eachPrintableCharacterHasItsCellInTheGrid();
    void refusedInOneLineWritingNothing_data();
    void refusedInOneLineWritingNothing();
    void helpTellsAndWritesNothing();
};

void FontAtlasTest::eachPrintableCharacterHasItsCellInTheGrid()
{
    QTemporaryDir dir;
    const ProcessRun::Result run = runFontAtlas({QStringLiteral("text.png")}, dir.path());
    QVERIFY2(run.exitCode == 0, run.err.constData());
    const QImage atlas(dir.filePath(QStringLiteral("text.png")));
    QCOMPARE(atlas.size(), QSize(columns * cell, 6 * cell));
    QVERIFY(atlas.hasAlphaChannel());
    QCOMPARE(inkIn(atlas, ' '), 0);
    for (const char character : {'!', '0', 'A', 'Z', 'a', 'z', '~'})
        QVERIFY2(inkIn(atlas, character) > 10, qPrintable(QStringLiteral("'%1'").arg(character)));
    // An 'l' has less ink than a 'W': the characters are in their own cells.
    QVERIFY(inkIn(atlas, 'l') < inkIn(atlas, 'W'));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("text.png")});
}

void FontAtlasTest::refusedInOneLineWritingNothing_data()
{
    // A command line that cannot be taken exits with 2, an image that
    // cannot be written with 1.
    addRows<QStringList, int, QByteArray>({"arguments", "exitCode", "says"},
            {{"nothing", QStringList{}, 2, "wants one OUT.png; 0 given"},
             {"two outputs", QStringList{"a.png", "b.png"}, 2, "wants one OUT.png; 2 given"},
             {"an unknown option", QStringList{"--size", "3", "a.png"}, 2, "Unknown option 'size'"},
             {"in a folder that is not there", QStringList{"missing/text.png"}, 1, "no folder"},
             {"a folder's name", QStringList{"folder"}, 1, "is a folder"}});
}

void FontAtlasTest::refusedInOneLineWritingNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, says);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    const ProcessRun::Result run = runFontAtlas(arguments, dir.path());
    QCOMPARE(run.exitCode, exitCode);
    const QList<QByteArray> lines = toolLines(run.err);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().contains(says), lines.first().constData());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("folder")});
    QVERIFY(QDir(dir.filePath(QStringLiteral("folder"))).isEmpty());
}

// --help is no output's name: it tells, and writes nothing.
void FontAtlasTest::helpTellsAndWritesNothing()
{
    QTemporaryDir dir;
    const ProcessRun::Result help = runFontAtlas({QStringLiteral("--help")}, dir.path());
    QCOMPARE(help.exitCode, 0);
    QVERIFY2(help.out.contains("OUT.png"), help.out.constData());
    QVERIFY(QDir(dir.path()).isEmpty());
}

QTEST_GUILESS_MAIN(FontAtlasTest)
#include "tst_fontatlas.moc"
