// The Debian package as a user gets it: built by CPack, checked by Debian's
// own tools where they are present, unpacked into a folder of its own, and
// the show started there as its menu entry starts it, the studio starting a
// show of one's own from it.

#include "makershow.h"
#include "musicfiles.h"
#include "processrun.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Debian's tools, CPack and the unpacked package's programs, run to their end.
ProcessRun::Result run(const QString &program, const QStringList &arguments, const QString &workingDirectory = {})
{
    return ProcessRun::run(program, arguments, {workingDirectory, ProcessRun::toolEnvironment(), 240000});
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The keys of a desktop entry's main group.
QMap<QString, QString> desktopEntry(const QString &path)
{
    QMap<QString, QString> keys;
    bool inMainGroup = false;
    for (const QString &line : QString::fromUtf8(contents(path)).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('[')))
            inMainGroup = line == QLatin1String("[Desktop Entry]");
        else if (inMainGroup && line.contains(QLatin1Char('=')) && !line.startsWith(QLatin1Char('#')))
            keys.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
    }
    return keys;
}

// The installed show's files, as a new show's folder holds them too.
const QStringList showFiles{"shaders/shader.vert", "shaders/shader.frag", "music.bmm", "text.png"};

} // namespace

class PackageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void holdsTheProgramsTheirFilesAndTheirPages();
    void passesDebiansChecks_data();
    void passesDebiansChecks();
    void showStartsFromItsMenuEntryDrawsAndPlaysItsMusic();
    void studioStartsANewShowOnlyInAnEmptyFolder_data();
    void studioStartsANewShowOnlyInAnEmptyFolder();
    void studioWorksOnTheNewShow();
    void makersShowIsCapturedAndPublishedByTheInstalledProgramsAlone();
    void exportIsTheFolderMakeWebBuilds();

private:
    QTemporaryDir m_work;
    QString m_package;
    QString m_root; // where the package is unpacked
    QString m_entry;
};

void PackageTest::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("dpkg-deb")).isEmpty())
        QSKIP("dpkg-deb is missing (Debian package dpkg): no package can be built or unpacked");
    QVERIFY(m_work.isValid());
    const ProcessRun::Result cpack = run(QStringLiteral("cpack"), {"-G", "DEB", "--config", CPACK_CONFIG, "-B", m_work.path()});
    QVERIFY2(cpack.exitCode == 0, (cpack.out + cpack.err).constData());
    const QStringList packages = QDir(m_work.path()).entryList({QStringLiteral("wallrise_*.deb")});
    QCOMPARE(packages.size(), 1);
    m_package = m_work.filePath(packages.first());

    m_root = m_work.filePath(QStringLiteral("root"));
    const ProcessRun::Result unpack = run(QStringLiteral("dpkg-deb"), {"-x", m_package, m_root});
    QVERIFY2(unpack.exitCode == 0, unpack.err.constData());
    m_entry = m_root + QStringLiteral("/usr/share/applications/org.example.wallrise.desktop");
}

void PackageTest::holdsTheProgramsTheirFilesAndTheirPages()
{
    const ProcessRun::Result files = run(QStringLiteral("sh"), {"-c", "dpkg-deb --fsys-tarfile \"$0\" | tar -t | grep -v '/$' | sort",
                                                 m_package});
    QCOMPARE(files.exitCode, 0);
    // Every program with its page, the show's files, the menu entry and what
    // Debian's policy asks of every package; written out by hand.
    const QStringList expected{
        "./usr/bin/bmm",
        "./usr/bin/fontatlas",
        "./usr/bin/wallrise",
        "./usr/bin/wallrise-capture",
        "./usr/bin/wallrise-export",
        "./usr/bin/wallrise-studio",
        "./usr/share/applications/org.example.wallrise.desktop",
        "./usr/share/doc/wallrise/changelog.gz",
        "./usr/share/doc/wallrise/copyright",
        "./usr/share/icons/hicolor/256x256/apps/wallrise.png",
        "./usr/share/man/man1/bmm.1.gz",
        "./usr/share/man/man1/fontatlas.1.gz",
        "./usr/share/man/man1/wallrise-capture.1.gz",
        "./usr/share/man/man1/wallrise-export.1.gz",
        "./usr/share/man/man1/wallrise-studio.1.gz",
        "./usr/share/man/man1/wallrise.1.gz",
        "./usr/share/metainfo/org.example.wallrise.metainfo.xml",
        "./usr/share/wallrise/music.bmm",
        "./usr/share/wallrise/shaders/shader.frag",
        "./usr/share/wallrise/shaders/shader.vert",
        "./usr/share/wallrise/text.png",
        "./usr/share/wallrise/web/index.html",
        "./usr/share/wallrise/web/musicplayer.js",
        "./usr/share/wallrise/web/page.js",
        "./usr/share/wallrise/web/show.js",
        "./usr/share/wallrise/web/show.wasm",
    };
    QCOMPARE(QString::fromLocal8Bit(files.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);

    // The dependencies come from the libraries the programs link.
    const ProcessRun::Result depends = run(QStringLiteral("dpkg-deb"), {"--field", m_package, "Depends"});
    for (const char *library : {"libqt5gui5", "libsdl2-2.0-0", "libsndfile1"})
        QVERIFY2(depends.out.contains(library), depends.out.constData());

    // The icon is a frame of the show: a shaded scene of many colours, not
    // an empty or flat picture.
    const QImage icon(m_root + QStringLiteral("/usr/share/icons/hicolor/256x256/apps/wallrise.png"));
    QCOMPARE(icon.size(), QSize(256, 256));
    QSet<QRgb> colours;
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x)
            colours.insert(icon.pixel(x, y));
    QVERIFY2(colours.size() > 100, qPrintable(QString::number(colours.size())));
}

void PackageTest::passesDebiansChecks_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file"); // checked, under the unpacked package or the package itself

    QTest::newRow("lintian: the package") << "lintian" << QStringList() << QString();
    QTest::newRow("the menu entry") << "desktop-file-validate" << QStringList()
                                    << "/usr/share/applications/org.example.wallrise.desktop";
    QTest::newRow("the metainfo") << "appstreamcli" << QStringList{"validate", "--no-net"}
                                  << "/usr/share/metainfo/org.example.wallrise.metainfo.xml";
}

void PackageTest::passesDebiansChecks()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    if (QStandardPaths::findExecutable(program).isEmpty())
        QSKIP(qPrintable(program + QStringLiteral(" is missing (make test installs it)")));

    const ProcessRun::Result check = run(program, arguments << (file.isEmpty() ? m_package : m_root + file));
    QVERIFY2(check.exitCode == 0, (check.out + check.err).constData());
    // lintian's verdict: no error and no warning (it exits 0 on warnings).
    const QRegularExpression errorOrWarning(QStringLiteral("(?m)^[EW]: "));
    QVERIFY2(!QString::fromLocal8Bit(check.out).contains(errorOrWarning), check.out.constData());
}

void PackageTest::showStartsFromItsMenuEntryDrawsAndPlaysItsMusic()
{
    const QMap<QString, QString> entry = desktopEntry(m_entry);
    QVERIFY2(entry.value(QStringLiteral("Exec")) == QLatin1String("wallrise"), qPrintable(entry.value("Exec")));
    const QString folder = m_root + entry.value(QStringLiteral("Path"));
    QVERIFY2(QFile::exists(folder + QStringLiteral("/music.bmm")), qPrintable(folder));

    QProcess show;
    const QString deviceFile = m_work.filePath(QStringLiteral("device.f32"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("disk"));
    environment.insert(QStringLiteral("SDL_DISKAUDIOFILE"), deviceFile);
    show.setProcessEnvironment(environment);
    show.setWorkingDirectory(folder);
    show.start(m_root + QStringLiteral("/usr/bin/wallrise"), QStringList());
    QVERIFY(show.waitForStarted());

    // The log's once-a-second lines: a frame count alone on its line, then
    // the seconds. Two of them: the picture has been up a good second.
    const QRegularExpression frameLine(QStringLiteral("(?m)^[1-9]\\d*\\n\\d+\\.\\d+$"));
    QString log;
    QTRY_VERIFY2_WITH_TIMEOUT((log += QString::fromLocal8Bit(show.readAllStandardError()),
                               log.count(frameLine) >= 2), qPrintable(log.right(2000)), 90000);

    // A full-screen show covers the screen: most of it is not black.
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    qint64 lit = 0;
    for (int y = 0; y < screen.height(); ++y)
        for (int x = 0; x < screen.width(); ++x)
            lit += qGray(screen.pixel(x, y)) > 24;
    QVERIFY2(lit > qint64(screen.width()) * screen.height() / 2, qPrintable(QString::number(lit)));

    show.terminate(); // SIGTERM ends the show as Escape does
    QVERIFY(show.waitForFinished(30000));
    QCOMPARE(show.exitStatus(), QProcess::NormalExit);
    QCOMPARE(show.exitCode(), 0);

    // What the device played is the installed music file's payload from its
    // start, and sound, not silence.
    const QByteArray music = contents(folder + QStringLiteral("/music.bmm"));
    QVERIFY(music.size() > 4);
    const quint32 beats = qFromLittleEndian<quint32>(music.constData());
    const QByteArray payload = music.mid(4 + 4 * qint64(beats));
    const QByteArray played = MusicFiles::playedUntilClosed(contents(deviceFile));
    QVERIFY2(played.size() >= 44100 * 8, qPrintable(QString::number(played.size()))); // a second at least
    QVERIFY(payload.startsWith(played));
    QVERIFY(!MusicFiles::allZero(played));
}

void PackageTest::studioStartsANewShowOnlyInAnEmptyFolder_data()
{
    QTest::addColumn<QString>("already"); // a file the folder holds before, if any
    QTest::addColumn<bool>("folderThere");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("a new folder") << QString() << false << 0;
    QTest::newRow("an empty folder") << QString() << true << 0;
    QTest::newRow("a folder holding a file") << "notes.txt" << true << 1;
    QTest::newRow("a folder holding a show") << "music.bmm" << true << 1;
}

void PackageTest::studioStartsANewShowOnlyInAnEmptyFolder()
{
    QFETCH(QString, already);
    QFETCH(bool, folderThere);
    QFETCH(int, exitCode);

    // From a working folder of its own, far from the package.
    QTemporaryDir elsewhere;
    const QString folder = elsewhere.filePath(QStringLiteral("mine"));
    if (folderThere)
        QVERIFY(QDir().mkpath(folder));
    if (!already.isEmpty())
        QVERIFY(MusicFiles::write(folder + QLatin1Char('/') + already, "kept"));

    const ProcessRun::Result studio = run(m_root + QStringLiteral("/usr/bin/wallrise-studio"), {"--new", "mine"}, elsewhere.path());
    QCOMPARE(studio.exitCode, exitCode);
    if (exitCode == 0) {
        for (const QString &file : showFiles)
            QVERIFY2(contents(folder + QLatin1Char('/') + file)
                     == contents(m_root + QStringLiteral("/usr/share/wallrise/") + file), qPrintable(file));
    } else {
        QCOMPARE(studio.err.count('\n'), 1);
        QVERIFY2(studio.err.startsWith("studio: mine: "), studio.err.constData());
        // Nothing added, nothing changed, nothing left beside it.
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList(already));
        QCOMPARE(contents(folder + QLatin1Char('/') + already), QByteArray("kept"));
        QCOMPARE(QDir(elsewhere.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList(QStringLiteral("mine")));
    }
}

void PackageTest::studioWorksOnTheNewShow()
{
    QTemporaryDir elsewhere;
    const QString studioProgram = m_root + QStringLiteral("/usr/bin/wallrise-studio");
    QCOMPARE(run(studioProgram, {"--new", "mine"}, elsewhere.path()).exitCode, 0);
    const QString folder = elsewhere.filePath(QStringLiteral("mine"));

    // A mistake in the new show's fragment stage: only a studio that works on
    // the folder's own stages reports it, by the file's name there.
    QFile stage(folder + QStringLiteral("/shaders/shader.frag"));
    QVERIFY(stage.open(QIODevice::Append));
    stage.write("\nthis is not a stage\n");
    stage.close();

    QProcess studio;
    studio.setWorkingDirectory(folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    studio.setProcessEnvironment(environment);
    studio.start(studioProgram, QStringList());
    QVERIFY(studio.waitForStarted());
    QString log;
    QTRY_VERIFY2_WITH_TIMEOUT((log += QString::fromLocal8Bit(studio.readAllStandardError()),
                               log.contains(QLatin1String("shaders/shader.frag:"))), qPrintable(log), 90000);
    studio.terminate();
    QVERIFY(studio.waitForFinished(30000));
    log += QString::fromLocal8Bit(studio.readAllStandardError());
    // Its music and font were found there too: no note of either missing.
    QVERIFY2(!log.contains(QLatin1String("no music")) && !log.contains(QLatin1String("no image")), qPrintable(log));
}

namespace {

// Everything in a folder, hidden files included.
QStringList everythingIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

void PackageTest::makersShowIsCapturedAndPublishedByTheInstalledProgramsAlone()
{
    // The package's programs alone on the path: no compiler, no source tree.
    const QString bin = m_root + QStringLiteral("/usr/bin");
    QProcessEnvironment environment = ProcessRun::toolEnvironment();
    environment.insert(QStringLiteral("PATH"), bin);
    for (const char *tool : {"c++", "g++", "cc", "em++", "emcc", "cmake", "make"})
        QVERIFY2(QStandardPaths::findExecutable(QLatin1String(tool), {bin}).isEmpty(), tool);
    QTemporaryDir elsewhere;
    const auto installed = [&](const QString &program, const QStringList &arguments, const QString &folder) {
        return ProcessRun::run(bin + QLatin1Char('/') + program, arguments, {folder, environment, 240000});
    };

    // The installed show as it comes, and a maker's show changed from it:
    // red and blue swapped in its fragment stage.
    for (const QString &show : {QStringLiteral("installed"), QStringLiteral("mine")})
        QCOMPARE(installed(QStringLiteral("wallrise-studio"), {"--new", show}, elsewhere.path()).exitCode, 0);
    const QString original = elsewhere.filePath(QStringLiteral("installed"));
    const QString mine = elsewhere.filePath(QStringLiteral("mine"));
    const QString stage = mine + QStringLiteral("/shaders/shader.frag");
    const QByteArray swapped = MakerShow::withRedAndBlueSwapped(MakerShow::readFile(stage));
    QVERIFY(MakerShow::writeFile(stage, swapped));

    // Captured: the maker's frame is the installed show's with red and blue
    // swapped, to the bit. Show time 12 is the timer's 15 s: frame 30 at 2 a second.
    const QStringList frame{"--size", "96x54", "--fps", "2", "--from", "12", "--to", "12.4", "--png", "frames"};
    for (const QString &show : {original, mine}) {
        const ProcessRun::Result captured = installed(QStringLiteral("wallrise-capture"), frame, show);
        QVERIFY2(captured.ok(), captured.err.constData());
    }
    const QImage installedFrame = MakerShow::swappedRedAndBlue(QImage(original + QStringLiteral("/frames/frame-00030.png")));
    const QImage minesFrame = QImage(mine + QStringLiteral("/frames/frame-00030.png")).convertToFormat(QImage::Format_RGB888);
    QCOMPARE(installedFrame.size(), QSize(96, 54));
    QVERIFY(minesFrame == installedFrame);
    QVERIFY(minesFrame != MakerShow::swappedRedAndBlue(minesFrame)); // a change that shows

    // Exported: the page and its program, the maker's stage as it is.
    for (const QString &show : {original, mine}) {
        const ProcessRun::Result exported = installed(QStringLiteral("wallrise-export"), {"site"}, show);
        QVERIFY2(exported.ok(), exported.err.constData());
    }
    QCOMPARE(MakerShow::readFile(mine + QStringLiteral("/site/shader.frag")), swapped);

    // Played by headless Chromium, its clock held at show time 12: the
    // maker's picture is the installed page's with red and blue swapped.
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    QVERIFY2(!node.isEmpty(), "node is missing (make test installs it)");
    QImage pictures[2];
    for (int i = 0; i < 2; ++i) {
        const QString site = (i == 0 ? original : mine) + QStringLiteral("/site");
        const QString png = elsewhere.filePath(QStringLiteral("page-%1.png").arg(i));
        const ProcessRun::Result played = ProcessRun::run(node, {QStringLiteral(PAGEFRAME_SCRIPT), site, "12", png},
                                                          {elsewhere.path(), ProcessRun::toolEnvironment(), 240000});
        if (played.exitCode == 77)
            QSKIP(played.err.constData());
        QVERIFY2(played.ok(), (played.out + played.err).constData());
        pictures[i] = QImage(png).convertToFormat(QImage::Format_RGB888);
    }
    QVERIFY(!pictures[0].isNull());
    QVERIFY(pictures[1] == MakerShow::swappedRedAndBlue(pictures[0]));
    QVERIFY(pictures[1] != pictures[0]);

    // A broken stage: the capture stops and the export writes nothing.
    QVERIFY(MakerShow::writeFile(stage, MakerShow::withMistakeAtLine(swapped, 3)));
    const QStringList before = everythingIn(mine);
    const ProcessRun::Result captured = installed(QStringLiteral("wallrise-capture"),
            {"--size", "96x54", "--fps", "2", "--from", "12", "--to", "12.4", "--png", "broken-frames"}, mine);
    QCOMPARE(captured.exitCode, 1);
    QVERIFY2(captured.err.contains("shaders/shader.frag:3:"), captured.err.constData());
    const ProcessRun::Result exported = installed(QStringLiteral("wallrise-export"), {"broken-site"}, mine);
    QCOMPARE(exported.exitCode, 1);
    QVERIFY2(exported.err.contains("nothing written") && exported.err.contains("shaders/shader.frag:3:"),
             exported.err.constData());
    QCOMPARE(everythingIn(mine), before);
}

void PackageTest::exportIsTheFolderMakeWebBuilds()
{
    // make web writes build/web with the build's export from the source
    // tree's stages and the build's music and font: the installed export of
    // the installed show (the same files) writes the same folder.
    const QString madeByMakeWeb = QStringLiteral(BUILD_DIR "/web");
    if (!QFileInfo::exists(madeByMakeWeb + QStringLiteral("/show.wasm")))
        QSKIP("no build/web here: make web builds it (make test does)");
    QTemporaryDir elsewhere;
    QCOMPARE(run(m_root + QStringLiteral("/usr/bin/wallrise-studio"), {"--new", "show"}, elsewhere.path()).exitCode, 0);
    const QString show = elsewhere.filePath(QStringLiteral("show"));
    const ProcessRun::Result exported = run(m_root + QStringLiteral("/usr/bin/wallrise-export"), {"site"}, show);
    QVERIFY2(exported.exitCode == 0, exported.err.constData());
    const QString site = show + QStringLiteral("/site");
    QCOMPARE(everythingIn(site), everythingIn(madeByMakeWeb));
    for (const QString &file : everythingIn(site))
        QVERIFY2(contents(site + QLatin1Char('/') + file) == contents(madeByMakeWeb + QLatin1Char('/') + file), qPrintable(file));
}

QTEST_MAIN(PackageTest)
#include "tst_package.moc"
