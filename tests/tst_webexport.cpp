// The web export, run as a maker runs it in a show's folder: a folder that
// a static server serves, holding the page and its compiled program as
// built, the maker's stages byte for byte, the music's beat list and its
// sound for browsers, and the font; made
// whole or not at all.

#include "makershow.h"
#include "processrun.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

const QString programFolder = QStringLiteral(WEB_PROGRAM_DIR);
const QStringList pageFiles{"index.html", "musicplayer.js", "page.js", "show.js", "show.wasm"};

ProcessRun::Result exportPage(const QStringList &arguments, const QString &folder)
{
    return ProcessRun::run(QStringLiteral(WEBEXPORT_EXECUTABLE), arguments, {folder, ProcessRun::toolEnvironment(), 120000});
}

QStringList everythingIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class WebExportTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exportHoldsThePageAndTheMakersShow();
    void compiledInStagesWhereTheFolderHasNone();
    void refusalsWriteNothing_data();
    void refusalsWriteNothing();

private:
    // A maker's show: changed stages in shaders/, the music and the font.
    void makeShow(const QString &folder, const QByteArray &fragment);

    QByteArray m_vertex;
    QByteArray m_fragment;
    QByteArray m_music;
    QByteArray m_font;
};

void WebExportTest::initTestCase()
{
    if (programFolder.isEmpty())
        QSKIP("the web program is not built here: it needs emscripten (make test installs it)");
    m_vertex = MakerShow::showStage(QStringLiteral("shader.vert"));
    m_fragment = MakerShow::withRedAndBlueSwapped(MakerShow::showStage(QStringLiteral("shader.frag")));
    m_music = MakerShow::readFile(QStringLiteral(BUILD_DIR "/music.bmm"));
    m_font = MakerShow::readFile(QStringLiteral(BUILD_DIR "/text.png"));
    QVERIFY(!m_vertex.isEmpty() && !m_music.isEmpty() && !m_font.isEmpty());
}

void WebExportTest::makeShow(const QString &folder, const QByteArray &fragment)
{
    QVERIFY(MakerShow::writeStages(QDir(folder).filePath(QStringLiteral("shaders")), m_vertex, fragment));
    QVERIFY(MakerShow::writeFile(QDir(folder).filePath(QStringLiteral("music.bmm")), m_music));
    QVERIFY(MakerShow::writeFile(QDir(folder).filePath(QStringLiteral("text.png")), m_font));
}

void WebExportTest::exportHoldsThePageAndTheMakersShow()
{
    QTemporaryDir show;
    // Comments and a blank line before the version line, as GLSL allows: the
    // desktop's GL and the browser's GLSL ES take the stage alike.
    const QByteArray fragment = "// A maker's note.\n\n" + m_fragment;
    makeShow(show.path(), fragment);
    const ProcessRun::Result exported = exportPage({"site"}, show.path());
    QVERIFY2(exported.ok(), exported.err.constData());
    QVERIFY2(exported.err.isEmpty(), exported.err.constData());

    const QDir site(show.filePath(QStringLiteral("site")));
    QCOMPARE(everythingIn(site.path()),
             QStringList({"index.html", "music.bmm", "music.mp3", "musicplayer.js", "page.js", "shader.frag",
                          "shader.vert", "show.js", "show.wasm", "text.png"}));
    // The maker's files as they are, the desktop's GLSL included: the page
    // makes it GLSL ES where it loads it.
    QCOMPARE(MakerShow::readFile(site.filePath(QStringLiteral("shader.frag"))), fragment);
    QCOMPARE(MakerShow::readFile(site.filePath(QStringLiteral("shader.vert"))), m_vertex);
    // The music's beat list as it stands (the count, then its values); its
    // sound as MP3, which ffmpeg decodes, by the tag at its head, to exactly
    // the music's frames: the bytes after the list, 8 a stereo float frame.
    const qint64 headBytes = 4 + 4 * qint64(qFromLittleEndian<quint32>(m_music.constData()));
    QCOMPARE(MakerShow::readFile(site.filePath(QStringLiteral("music.bmm"))), m_music.left(headBytes));
    const ProcessRun::Result decoded = ProcessRun::runTool(QStringLiteral("ffmpeg"),
            {"-v", "error", "-i", site.filePath(QStringLiteral("music.mp3")), "-f", "f32le", "-"});
    QVERIFY2(decoded.ok(), decoded.err.constData());
    QCOMPARE(decoded.out.size(), m_music.size() - headBytes);
    QCOMPARE(MakerShow::readFile(site.filePath(QStringLiteral("text.png"))), m_font);
    for (const QString &file : pageFiles)
        QVERIFY2(MakerShow::readFile(site.filePath(file)) == MakerShow::readFile(QDir(programFolder).filePath(file)),
                 qPrintable(file));
    // Nothing left beside it.
    QCOMPARE(everythingIn(show.path()), QStringList({"music.bmm", "shaders", "site", "text.png"}));
}

void WebExportTest::compiledInStagesWhereTheFolderHasNone()
{
    QTemporaryDir show;
    QVERIFY(MakerShow::writeFile(show.filePath(QStringLiteral("music.bmm")), m_music));
    QVERIFY(MakerShow::writeFile(show.filePath(QStringLiteral("text.png")), m_font));
    // An empty folder is taken as the target.
    QVERIFY(QDir(show.path()).mkdir(QStringLiteral("site")));
    const ProcessRun::Result exported = exportPage({"site"}, show.path());
    QVERIFY2(exported.ok(), exported.err.constData());
    QCOMPARE(exported.errText(),
             QStringLiteral("webexport: no shaders/shader.vert and shaders/shader.frag here: drawing the compiled-in stages\n"));
    for (const QString &stage : {QStringLiteral("shader.vert"), QStringLiteral("shader.frag")})
        QCOMPARE(MakerShow::readFile(show.filePath(QStringLiteral("site/")) + stage), MakerShow::showStage(stage));
}

void WebExportTest::refusalsWriteNothing_data()
{
    // Named by what is wrong with the show or the target: the arguments, the
    // exit status and what the one line (or the first) says.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    const QStringList site{"site"};
    QTest::newRow("a stage that does not compile") << site << 1
            << QStringLiteral("webexport: shaders/shader.frag does not compile; nothing written:\nshaders/shader.frag:3:");
    // Desktop GLSL takes an int for a float, GLSL ES does not: its line is
    // the maker's 5th, after two lines before the version line.
    QTest::newRow("a stage that is not GLSL ES") << site << 1
            << QStringLiteral("webexport: shaders/shader.frag does not compile as the browser's GLSL ES 3.00; nothing "
                              "written:\nshaders/shader.frag:5:");
    QTest::newRow("stages that do not link") << site << 1 << QStringLiteral("webexport: the show's stages do not link; nothing written");
    QTest::newRow("a target that holds something") << QStringList{"full"} << 1
            << QStringLiteral("webexport: full: is there already and is not an empty folder; nothing written\n");
    QTest::newRow("a music file that is not there") << QStringList{"--music", "none.bmm", "site"} << 1 << QStringLiteral("webexport: none.bmm: ");
    QTest::newRow("a music file that ends inside its beat list") << QStringList{"--music", "short.bmm", "site"} << 1
            << QStringLiteral("webexport: short.bmm: the file ends inside its list of 5 beats, so the page would play "
                              "no music; nothing written\n");
    QTest::newRow("a font that is no image") << QStringList{"--font", "music.bmm", "site"} << 1
            << QStringLiteral("webexport: music.bmm: not an image that can be read; nothing written\n");
    QTest::newRow("a --shaders folder without both stages") << QStringList{"--shaders", "elsewhere", "site"} << 1
            << QStringLiteral("webexport: elsewhere: no shader.vert and shader.frag in that folder; nothing written\n");
    QTest::newRow("no target") << QStringList() << 2 << QStringLiteral("webexport: give one folder");
    QTest::newRow("an unknown option") << QStringList{"--colour", "red", "site"} << 2 << QStringLiteral("webexport: Unknown option 'colour'.");
}

void WebExportTest::refusalsWriteNothing()
{
    const QString wrong = QString::fromLatin1(QTest::currentDataTag());
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, says);

    QTemporaryDir show;
    QByteArray fragment = m_fragment;
    if (wrong == QLatin1String("a stage that does not compile"))
        fragment = MakerShow::withMistakeAtLine(fragment, 3);
    else if (wrong == QLatin1String("a stage that is not GLSL ES"))
        fragment = "// A maker's note.\n\n" + MakerShow::withLineAt(fragment, 3, "float notEs = 1;");
    else if (wrong == QLatin1String("stages that do not link"))
        fragment.replace("void main()", "void notMain()");
    makeShow(show.path(), fragment);
    // The count 5, then two values and two bytes.
    QVERIFY(MakerShow::writeFile(show.filePath(QStringLiteral("short.bmm")),
                                 QByteArray("\x05\0\0\0\0\0\0\0\x32\0\0\0\x01\x02", 14)));
    QVERIFY(QDir(show.path()).mkpath(QStringLiteral("full/kept")));
    const QStringList before = everythingIn(show.path());

    const ProcessRun::Result exported = exportPage(arguments, show.path());
    QCOMPARE(exported.exitCode, exitCode);
    QVERIFY2(exported.errText().startsWith(says), exported.err.constData());
    QVERIFY2(!exported.err.contains("Problematic"), exported.err.constData());
    QCOMPARE(everythingIn(show.path()), before);
    QCOMPARE(everythingIn(show.filePath(QStringLiteral("full"))), QStringList{"kept"});
}

QTEST_GUILESS_MAIN(WebExportTest)
#include "tst_webexport.moc"
