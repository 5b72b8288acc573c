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
    void badCommandLinesAreRefusedInOneLine_data();
    void badCommandLinesAreRefusedInOneLine();
    void anImageThatCannotBeWrittenLeavesNothing_data();
    void anImageThatCannotBeWrittenLeavesNothing();
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

void FontAtlasTest::badCommandLinesAreRefusedInOneLine_data()
{
    addRows<QStringList, QByteArray>({"arguments", "says"},
            {{"nothing", QStringList{}, QByteArray("wants one OUT.png; 0 given")},
             {"two outputs", QStringList{"a.png", "b.png"}, QByteArray("wants one OUT.png; 2 given")},
             {"an unknown option", QStringList{"--size", "3", "a.png"}, QByteArray("Unknown option 'size'")}});
}

void FontAtlasTest::badCommandLinesAreRefusedInOneLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, says);
    QTemporaryDir dir;
    const ProcessRun::Result run = runFontAtlas(arguments, dir.path());
    QCOMPARE(run.exitCode, 2);
    const QList<QByteArray> lines = toolLines(run.err);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().contains(says), lines.first().constData());
    QVERIFY(QDir(dir.path()).isEmpty());

    // --help is no output's name: it tells, and writes nothing.
    const ProcessRun::Result help = runFontAtlas({QStringLiteral("--help")}, dir.path());
    QCOMPARE(help.exitCode, 0);
    QVERIFY2(help.out.contains("OUT.png"), help.out.constData());
    QVERIFY(QDir(dir.path()).isEmpty());
}

void FontAtlasTest::anImageThatCannotBeWrittenLeavesNothing_data()
{
    addRows<QString, QByteArray>({"output", "says"},
            {{"in a folder that is not there", QStringLiteral("missing/text.png"), QByteArray("no folder")},
             {"a folder's name", QStringLiteral("folder"), QByteArray("is a folder")}});
}

void FontAtlasTest::anImageThatCannotBeWrittenLeavesNothing()
{
    QFETCH(QString, output);
    QFETCH(QByteArray, says);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    const ProcessRun::Result run = runFontAtlas({output}, dir.path());
    QCOMPARE(run.exitCode, 1);
    const QList<QByteArray> lines = toolLines(run.err);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().contains(says), lines.first().constData());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("folder")});
    QVERIFY(QDir(dir.filePath(QStringLiteral("folder"))).isEmpty());
}

QTEST_GUILESS_MAIN(FontAtlasTest)
#include "tst_fontatlas.moc"
