// Every build the project offers without one of its optional libraries
// configures, says in a line what it leaves out, and leaves out only what
// needs the missing part. A link to a library that such a build does not
// make stops the configuration (every link names a target), so configuring
// each lean build is enough to catch it, without building it.

#include "datarows.h"
#include "processrun.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// The programs, page and tests the full build makes here, of those that may
// be left out (the build tells which it has).
QStringList fullBuild()
{
    return QString::fromLatin1(FULL_BUILD_TARGETS).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

bool hasTarget(const QString &buildDir, const QString &target)
{
    return ProcessRun::runTool(QStringLiteral("ninja"), {"-C", buildDir, "-t", "query", target}, 60000).ok();
}

} // namespace

class LeanBuildsTest : public QObject
{
    Q_OBJECT

private slots:
    void eachLeanBuildLeavesOutOnlyWhatNeedsTheMissingPart_data();
    void eachLeanBuildLeavesOutOnlyWhatNeedsTheMissingPart();
};

void LeanBuildsTest::eachLeanBuildLeavesOutOnlyWhatNeedsTheMissingPart_data()
{
    // What each part is needed by, from the programs' own needs: bmm decodes
    // with libsndfile and libsamplerate, and makes the default music, which
    // the page, the package and the docs' examples take; aubio is for bmm's
    // beat detection alone; the capture and the web export draw without a
    // display through EGL, and the capture draws the package's icon; the web
    // program is emscripten's. The studio, the show and the rest stay.
    addRows<QString, QString, QStringList>({"option", "says", "leftOut"},
            {{"without libsndfile and libsamplerate", "SHOW_WITH_SOUNDFILES",
              "bmm left out: it needs libsndfile and libsamplerate",
              {"bmm", "bmmtool", "webpage", "docs", "debianpackage"}},
             {"without aubio", "SHOW_WITH_AUBIO", "bmm's beat detection (pack --detect-beats) left out", {}},
             {"without EGL", "SHOW_WITH_EGL", "GL without a display left out",
              {"capture", "webexport", "captureoptions", "capturetool", "webexporttool", "webpage", "docs",
               "debianpackage"}},
             {"without emscripten", "SHOW_WITH_EMSCRIPTEN", "The web program is left out",
              {"webprogram", "webpage", "docs", "debianpackage"}}});
}

void LeanBuildsTest::eachLeanBuildLeavesOutOnlyWhatNeedsTheMissingPart()
{
    QFETCH(QString, option);
    QFETCH(QString, says);
    QFETCH(QStringList, leftOut);

    QTemporaryDir build;
    const ProcessRun::Result configured = ProcessRun::runTool(QStringLiteral("cmake"),
            {"-G", "Ninja", "-S", SOURCE_DIR, "-B", build.path(), "--log-level=NOTICE", "-D" + option + "=OFF"},
            300000);
    QVERIFY2(configured.ok(), qPrintable(configured.errText()));
    QVERIFY2(configured.errText().contains(says), qPrintable(configured.errText()));

    for (const QString &target : fullBuild()) {
        const bool expected = !leftOut.contains(target);
        QVERIFY2(hasTarget(build.path(), target) == expected,
                 qPrintable(QStringLiteral("%1 %2").arg(target, expected ? "is missing" : "is built all the same")));
    }
}

QTEST_GUILESS_MAIN(LeanBuildsTest)
#include "tst_leanbuilds.moc"
