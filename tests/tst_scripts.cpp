// The project's scripts and Makefile as a developer runs them: the virtual
// X server that every test runs on, the show's launcher on a machine without
// a sound card, and `make -j test` taking one step at a time. Programs they
// start are stood in for by small scripts found first on the PATH.

#include "datarows.h"
#include "processrun.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString scripts = QStringLiteral(SCRIPTS_DIR);
const QString repository = QStringLiteral(REPOSITORY_DIR);

bool writeScript(const QString &path, const QByteArray &body)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n" + body + '\n') < 0)
        return false;
    file.close();
    return file.setPermissions(file.permissions() | QFile::ExeOwner);
}

// The test's own environment, with a folder of stand-ins first on the PATH.
// The sanitizer runtime stays out: the scripts and their tools are not built
// with it.
QProcessEnvironment withStandIns(const QString &folder)
{
    QProcessEnvironment environment = ProcessRun::toolEnvironment();
    environment.insert(QStringLiteral("PATH"), folder + QLatin1Char(':') + environment.value(QStringLiteral("PATH")));
    return environment;
}

bool hasSoundCard()
{
    QFile cards(QStringLiteral("/proc/asound/cards"));
    return cards.open(QIODevice::ReadOnly)
            && QString::fromLatin1(cards.readAll()).contains(QRegularExpression(QStringLiteral("(?m)^ *\\d")));
}

} // namespace

class ScriptsTest : public QObject
{
    Q_OBJECT

private slots:
    void withXRunsTheCommandOnItsOwnScreenAndPassesOnItsStatus();
    void withXSaysWhenTheServerOrTheWindowManagerDoesNotComeUp_data();
    void withXSaysWhenTheServerOrTheWindowManagerDoesNotComeUp();
    void runShowSendsTheSoundToAFileWithoutASoundCard_data();
    void runShowSendsTheSoundToAFileWithoutASoundCard();
    void makeTakesOneStepAtATimeUnderJobs();
};

void ScriptsTest::withXRunsTheCommandOnItsOwnScreenAndPassesOnItsStatus()
{
    QTemporaryDir standIns;
    const ProcessRun::Result x = ProcessRun::run(scripts + QStringLiteral("/with-x"),
            {"--size", "320x200", "sh", "-c", "xdpyinfo | grep dimensions; xprop -root _NET_SUPPORTING_WM_CHECK; exit 7"},
            {{}, withStandIns(standIns.path())});
    QCOMPARE(x.exitCode, 7);
    QVERIFY2(x.outText().contains(QLatin1String("320x200 pixels")), qPrintable(x.outText() + x.errText()));
    QVERIFY2(x.outText().contains(QLatin1String("window id")), qPrintable(x.outText() + x.errText())); // a window manager runs
}

void ScriptsTest::withXSaysWhenTheServerOrTheWindowManagerDoesNotComeUp_data()
{
    addRows<QString, QByteArray, QString>({"program", "standIn", "says"},
            {{"an X server that does not start", "Xvfb", QByteArray("echo 'no screens here' >&2; exit 1"),
              "with-x: Xvfb did not start: no screens here"},
             {"an X server that names its display and never answers on it", "Xvfb",
              QByteArray("echo 64999; exec sleep 600"), "with-x: the X server on :64999 did not answer within 2 s"},
             {"a window manager that does not start", "openbox", QByteArray("exit 1"),
              "with-x: the window manager (openbox) did not start"},
             {"a window manager that never takes over the screen", "openbox", QByteArray("exec sleep 600"),
              "with-x: the window manager (openbox) did not take over :"}});
}

void ScriptsTest::withXSaysWhenTheServerOrTheWindowManagerDoesNotComeUp()
{
    QFETCH(QString, program);
    QFETCH(QByteArray, standIn);
    QFETCH(QString, says);

    QTemporaryDir standIns;
    QVERIFY(writeScript(standIns.filePath(program), standIn));
    QProcessEnvironment environment = withStandIns(standIns.path());
    environment.insert(QStringLiteral("WITH_X_WAIT"), QStringLiteral("2"));

    const QString marker = standIns.filePath(QStringLiteral("ran"));
    const ProcessRun::Result x = ProcessRun::run(scripts + QStringLiteral("/with-x"), {"touch", marker}, {{}, environment});
    QCOMPARE(x.exitCode, 1);
    QCOMPARE(x.errText().count(QLatin1Char('\n')), 1);
    QVERIFY2(x.errText().startsWith(says), qPrintable(x.errText()));
    QVERIFY(!QFile::exists(marker)); // the command never ran
}

void ScriptsTest::runShowSendsTheSoundToAFileWithoutASoundCard_data()
{
    addRows<bool, QString>({"desktop", "driver"},
            {{"on a desktop", true, QString()},
             {"without a display", false, QString()},
             {"on a desktop, with a driver asked for", true, "dummy"}});
}

void ScriptsTest::runShowSendsTheSoundToAFileWithoutASoundCard()
{
    QFETCH(bool, desktop);
    QFETCH(QString, driver);
    if (hasSoundCard())
        QSKIP("this machine has a sound card");

    // A show that notes how it was started and plays a tenth of a second,
    // beside the real music tool, which makes the WAV file.
    QTemporaryDir build;
#ifdef BMM_EXECUTABLE
    QVERIFY(QDir(build.path()).mkpath(QStringLiteral("tools/bmm")));
    QVERIFY(QFile::link(QStringLiteral(BMM_EXECUTABLE), build.filePath(QStringLiteral("tools/bmm/bmm"))));
#else
    QSKIP("bmm is left out of this build: run-show makes the WAV file with it");
#endif
    QVERIFY(writeScript(build.filePath(QStringLiteral("show")),
                        "env | grep '^SDL_' > show-env.txt\n"
                        "if [ -n \"$SDL_DISKAUDIOFILE\" ]; then head -c 35280 /dev/zero > \"$SDL_DISKAUDIOFILE\"; fi\n"
                        "exit 0"));
    QProcessEnvironment environment = withStandIns(build.path());
    environment.remove(QStringLiteral("SDL_AUDIODRIVER"));
    environment.remove(QStringLiteral("SDL_DISKAUDIOFILE"));
    if (!driver.isEmpty())
        environment.insert(QStringLiteral("SDL_AUDIODRIVER"), driver);
    if (!desktop) {
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    }
    QVERIFY(desktop == environment.contains(QStringLiteral("DISPLAY")));

    const ProcessRun::Result show = ProcessRun::run(scripts + QStringLiteral("/run-show"), {build.path()}, {{}, environment});
    QVERIFY2(show.exitCode == 0, qPrintable(show.outText() + show.errText()));

    QFile noted(build.filePath(QStringLiteral("show-env.txt")));
    QVERIFY(noted.open(QIODevice::ReadOnly));
    const QString started = QString::fromLocal8Bit(noted.readAll());
    const QString soundtrack = build.filePath(QStringLiteral("soundtrack"));
    if (driver.isEmpty()) {
        QVERIFY2(started.contains(QLatin1String("SDL_AUDIODRIVER=disk\n")), qPrintable(started));
        QVERIFY2(started.contains(QStringLiteral("SDL_DISKAUDIOFILE=%1.f32\n").arg(soundtrack)), qPrintable(started));
        QVERIFY2(show.outText().contains(QStringLiteral("goes to %1.wav").arg(soundtrack)), qPrintable(show.outText()));
        // A tenth of a second, at 16 bits or more a sample.
        QVERIFY2(QFileInfo(soundtrack + QStringLiteral(".wav")).size() > 17640, qPrintable(show.outText() + show.errText()));
        QVERIFY(!QFile::exists(soundtrack + QStringLiteral(".f32")));
    } else {
        QCOMPARE(started, QStringLiteral("SDL_AUDIODRIVER=%1\n").arg(driver));
        QVERIFY(!QFile::exists(soundtrack + QStringLiteral(".wav")));
    }
}

void ScriptsTest::makeTakesOneStepAtATimeUnderJobs()
{
    // Every step of `make test` stood in for: each build does nothing, and
    // each suite and the fuzzer note when they start and end.
    QTemporaryDir work;
    QVERIFY(QDir(work.path()).mkpath(QStringLiteral("bin")));
    QVERIFY(QDir(work.path()).mkpath(QStringLiteral("scripts")));
    QVERIFY(QDir(work.path()).mkpath(QStringLiteral("build-fuzz")));
    const QString steps = work.filePath(QStringLiteral("steps.log"));
    const QByteArray note = "echo \"start $0 $*\" >> " + steps.toLocal8Bit() + "\nsleep 1\necho \"end $0\" >> "
            + steps.toLocal8Bit() + '\n';
    QVERIFY(writeScript(work.filePath(QStringLiteral("bin/cmake")), "exit 0"));
    QVERIFY(writeScript(work.filePath(QStringLiteral("bin/emcmake")), "exit 0"));
    QVERIFY(writeScript(work.filePath(QStringLiteral("bin/npm")), "exit 0"));
    QVERIFY(writeScript(work.filePath(QStringLiteral("scripts/install-deps")), "exit 0"));
    QVERIFY(writeScript(work.filePath(QStringLiteral("scripts/with-x")), note));
    // Every reader's fuzzer, run by the real script.
    QVERIFY(QDir(work.path()).mkpath(QStringLiteral("fuzz")));
    QVERIFY(QFile::copy(repository + QStringLiteral("/fuzz/run-fuzzers"), work.filePath(QStringLiteral("fuzz/run-fuzzers"))));
    const QStringList fuzzers{"beatlist", "partrecord", "beatstext", "recovery", "glsles"};
    for (const QString &fuzzer : fuzzers)
        QVERIFY(writeScript(work.filePath(QStringLiteral("build-fuzz/fuzz_") + fuzzer),
                            note + "echo 'stat::number_of_executed_units: 1' >&2"));

    const ProcessRun::Result make = ProcessRun::run(QStringLiteral("make"),
            {"-f", repository + QStringLiteral("/Makefile"), "-j4", "test"},
            {work.path(), withStandIns(work.filePath(QStringLiteral("bin")))});
    QVERIFY2(make.exitCode == 0, qPrintable(make.outText() + make.errText()));

    QFile log(steps);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLocal8Bit(log.readAll()).split('\n', Qt::SkipEmptyParts);
    const int fuzzLines = 2 * int(fuzzers.size());
    QCOMPARE(lines.size(), fuzzLines + 2); // the fuzzers and the one run of both builds' tests
    // The fuzzers first, each once and at most two at a time (each takes a
    // core), then the tests alone.
    QStringList fuzzed;
    int running = 0;
    for (int i = 0; i < fuzzLines; ++i) {
        QVERIFY2(lines[i].contains(QLatin1String("build-fuzz/fuzz_")), qPrintable(lines.join('\n')));
        if (lines[i].startsWith(QLatin1String("start "))) {
            fuzzed << lines[i].section(QStringLiteral("fuzz_"), 1).section(QLatin1Char(' '), 0, 0);
            QVERIFY2(++running <= 2, qPrintable(lines.join('\n')));
        } else {
            --running;
        }
    }
    fuzzed.sort();
    QStringList all = fuzzers;
    all.sort();
    QCOMPARE(fuzzed, all);
    QVERIFY2(lines[fuzzLines].startsWith(QLatin1String("start ")) && lines[fuzzLines + 1].startsWith(QLatin1String("end ")),
             qPrintable(lines.join('\n')));
    // Every test of the sanitizer build, and the normal build's own.
    QVERIFY2(lines[fuzzLines].contains(QLatin1String("--test-dir build-asan/both-builds -L sanitized|normalbuild ")),
             qPrintable(lines[fuzzLines]));
    QFile both(work.filePath(QStringLiteral("build-asan/both-builds/CTestTestfile.cmake")));
    QVERIFY(both.open(QIODevice::ReadOnly));
    QCOMPARE(both.readAll(), QByteArray("subdirs(\"" + work.filePath(QStringLiteral("build-asan")).toLocal8Bit() + "\" \""
                                        + work.filePath(QStringLiteral("build")).toLocal8Bit() + "\")\n"));
}

QTEST_GUILESS_MAIN(ScriptsTest)
#include "tst_scripts.moc"
