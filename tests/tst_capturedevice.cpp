// The capture on EGL's devices: which device draws, what it says of it, and
// the same frames whichever way the same driver is reached.

#include "capturerun.h"
#include "datarows.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace CaptureRun;

namespace {

const QStringList frames{"--size", "64x36", "--fps", "5", "--from", "5", "--to", "7"};

// The environment without a display, with these variables set ("NAME=VALUE").
QProcessEnvironment headless(const QStringList &variables)
{
    QProcessEnvironment environment = withoutDisplay();
    for (const QString &pair : variables)
        environment.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    return environment;
}

// The line the capture begins with, naming where it draws.
QString drawingLine(const QString &errors)
{
    for (const QString &line : errors.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("capture: drawing on ")))
            return line;
    return {};
}

} // namespace

class CaptureDeviceTest : public QObject
{
    Q_OBJECT

private slots:
    void sameFramesOnDeviceAndSurfaceless();
    void listNamesTheSoftwareDevice();
    void refusedDevices_data();
    void refusedDevices();
    void recordNamesTheDevice_data();
    void recordNamesTheDevice();
    void joinSaysWhenRenderersDiffer();

private:
    QTemporaryDir m_dir;
};

void CaptureDeviceTest::sameFramesOnDeviceAndSurfaceless()
{
    // The same driver (Mesa's llvmpipe) reached through EGL's device platform
    // and through its surfaceless platform: the same frames, to the bit.
    const QString onDevice = m_dir.filePath(QStringLiteral("device"));
    const QString onSurfaceless = m_dir.filePath(QStringLiteral("surfaceless"));
    const Run device = run(frames + QStringList{"--device", "0", "--png", onDevice}, m_dir.path(), headless({}));
    QVERIFY2(device.exitCode == 0, qPrintable(device.errors));
    const Run surfaceless = run(frames + QStringList{"--png", onSurfaceless}, m_dir.path(),
                                headless({"QT_QPA_PLATFORM=headless:surfaceless"}));
    QVERIFY2(surfaceless.exitCode == 0, qPrintable(surfaceless.errors));
    QVERIFY2(drawingLine(device.errors).contains(QLatin1String("EGL device 0 (the software device); as asked")),
             qPrintable(device.errors));
    QVERIFY2(drawingLine(surfaceless.errors).contains(QLatin1String("Mesa's surfaceless platform")),
             qPrintable(surfaceless.errors));
    // The same renderer named on both lines.
    QCOMPARE(drawingLine(device.errors).section(QStringLiteral("; renderer "), 1),
             drawingLine(surfaceless.errors).section(QStringLiteral("; renderer "), 1));

    const QMap<QString, QImage> expected = framesIn(onSurfaceless);
    const QMap<QString, QImage> drawn = framesIn(onDevice);
    // Show seconds 5 to 7 at 5 frames a second of timer (1.25 timer seconds
    // a show second): timer 6.25 s to 8.75 s, frames 32 to 43.
    QCOMPARE(drawn.size(), 12);
    QCOMPARE(drawn.keys(), expected.keys());
    for (const QString &name : expected.keys())
        QVERIFY2(drawn[name] == expected[name], qPrintable(name));
    QVERIFY(drawn.first().pixel(32, 18) != qRgb(0, 0, 0));
}

void CaptureDeviceTest::listNamesTheSoftwareDevice()
{
    // These machines have no GPU: Mesa lists its software device alone.
    const Run listed = [&] {
        const ProcessRun::Result result = ProcessRun::run(QStringLiteral(CAPTURE_EXECUTABLE), {"--device", "list"},
                                                          {m_dir.path(), withoutDisplay(), 60000});
        return Run{result.exitCode, QString::fromLocal8Bit(result.out)};
    }();
    QCOMPARE(listed.exitCode, 0);
    const QStringList lines = listed.errors.trimmed().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().startsWith(QLatin1String("0: software device; render node none;"))
             && lines.first().contains(QLatin1String("EGL_MESA_device_software")), qPrintable(lines.first()));
    QCOMPARE(contents(m_dir.path()).filter(QStringLiteral(".png")), QStringList());
}

void CaptureDeviceTest::refusedDevices_data()
{
    // One device (0) here: 1 is the first that does not exist. Mesa made to
    // offer no more than OpenGL 3.3 stands in for a device without 4.1.
    addRows<QStringList, QStringList, int, QString>({"arguments", "variables", "exitCode", "complaint"}, {
        {"missing index", {"--device", "1"}, {}, 1, "capture: there is no EGL device 1: EGL lists device 0 alone"},
        {"far beyond", {"--device", "1023"}, {}, 1, "capture: there is no EGL device 1023"},
        {"no GL 4.1 on it", {"--device", "0"}, {"MESA_GL_VERSION_OVERRIDE=3.3"}, 1,
         "capture: no OpenGL 4.1 core context: tried EGL without a display server (EGL device 0 (the software "
         "device); as asked): the driver made no OpenGL 4.1 core context"},
        {"no number", {"--device", "first"}, {}, 2, "--device wants the number of an EGL device, or list, not 'first'"},
        {"out of range", {"--device", "1024"}, {}, 2, "not '1024'"},
        {"with the cluster", {"--device", "0", "--slurm", "2"}, {}, 2, "--device picks a device of this machine"},
        {"GPUs without the cluster", {"--gpus-per-part", "1"}, {}, 2, "--gpus-per-part is for the jobs of --slurm"},
        {"resources without the cluster", {"--gres", "gpu:1"}, {}, 2, "--gres is for the jobs of --slurm"},
        {"no GPUs", {"--slurm", "2", "--gpus-per-part", "0"}, {}, 2,
         "--gpus-per-part wants a whole number from 1 to 64"},
    });
}

void CaptureDeviceTest::refusedDevices()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, variables);
    QFETCH(int, exitCode);
    QFETCH(QString, complaint);
    QTemporaryDir folder;
    const Run refused = run(frames + arguments + QStringList{"out.mkv"}, folder.path(), headless(variables));
    QCOMPARE(refused.exitCode, exitCode);
    QVERIFY2(refused.errors.startsWith(QLatin1String("capture: ")) && refused.errors.contains(complaint),
             qPrintable(refused.errors));
    QCOMPARE(refused.errors.count(QLatin1Char('\n')), exitCode == 1 ? 1 : 2);
    QCOMPARE(contents(folder.path()), QStringList());
}

void CaptureDeviceTest::recordNamesTheDevice_data()
{
    // What each way of choosing says, in the first lines and in the part's
    // record alike. Slurm's stand-in GPU 1 is no device EGL lists here.
    addRows<QStringList, QStringList, bool, QString>({"arguments", "variables", "display", "device"}, {
        {"first device", {}, {}, false, "EGL device 0 (the software device); EGL lists no GPU"},
        {"asked", {"--device", "0"}, {}, false, "EGL device 0 (the software device); as asked"},
        {"asked beside a display", {"--device", "0"}, {}, true, "EGL device 0 (the software device); as asked"},
        {"Slurm's stand-in GPU", {}, {"SLURM_JOB_GPUS=1", "CUDA_VISIBLE_DEVICES=1", "GPU_DEVICE_ORDINAL=1"}, false,
         "EGL device 0 (the software device); Slurm's GPU 1 (SLURM_JOB_GPUS=1) is not among EGL's devices"},
        {"the display's", {}, {}, true, "Qt's xcb platform on display "},
    });
}

void CaptureDeviceTest::recordNamesTheDevice()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, variables);
    QFETCH(bool, display);
    QFETCH(QString, device);
    QTemporaryDir folder;
    QProcessEnvironment environment = display ? QProcessEnvironment::systemEnvironment() : headless({});
    for (const QString &pair : variables)
        environment.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    const Run part = run(frames + arguments + QStringList{"--part", "1/2", "part.mkv"}, folder.path(), environment);
    QVERIFY2(part.exitCode == 0, qPrintable(part.errors));
    const QString line = drawingLine(part.errors);
    QVERIFY2(line.startsWith(QLatin1String("capture: drawing on ") + device), qPrintable(part.errors));
    // One such line, among the first.
    QCOMPARE(part.errors.count(QLatin1String("capture: drawing on ")), 1);
    QVERIFY(part.errors.indexOf(line) < part.errors.indexOf(QLatin1String("frame ")));

    const QJsonObject record = partRecord(folder.filePath(QStringLiteral("part.mkv")));
    QVERIFY2(record.value(QStringLiteral("device")).toString().startsWith(device),
             qPrintable(record.value(QStringLiteral("device")).toString()));
    // The record's renderer is the one the line names.
    QVERIFY(!record.value(QStringLiteral("renderer")).toString().isEmpty());
    QVERIFY(line.endsWith(QStringLiteral("; renderer ") + record.value(QStringLiteral("renderer")).toString()));
}

void CaptureDeviceTest::joinSaysWhenRenderersDiffer()
{
    // llvmpipe names its vector width in its renderer: at 128 bits it is
    // another renderer of the same picture.
    QTemporaryDir folder;
    const Run wide = run(frames + QStringList{"--part", "1/2", "part-1.mkv"}, folder.path(), headless({}));
    QVERIFY2(wide.exitCode == 0, qPrintable(wide.errors));
    const Run narrow = run(frames + QStringList{"--part", "2/2", "part-2.mkv"}, folder.path(),
                           headless({"LP_NATIVE_VECTOR_WIDTH=128"}));
    QVERIFY2(narrow.exitCode == 0, qPrintable(narrow.errors));
    const QString first = partRecord(folder.filePath(QStringLiteral("part-1.mkv"))).value("renderer").toString();
    const QString second = partRecord(folder.filePath(QStringLiteral("part-2.mkv"))).value("renderer").toString();
    QVERIFY2(first != second && !first.isEmpty() && !second.isEmpty(), qPrintable(first + " / " + second));

    // Parts of one renderer join without a word on it.
    const Run again = run(frames + QStringList{"--part", "2/2", "again-2.mkv"}, folder.path(), headless({}));
    QVERIFY2(again.exitCode == 0, qPrintable(again.errors));
    const Run same = run({"--join", "same.mkv", "again-2.mkv", "part-1.mkv"}, folder.path(), headless({}));
    QVERIFY2(same.exitCode == 0, qPrintable(same.errors));
    QVERIFY2(!same.errors.contains(QLatin1String("renderers")), qPrintable(same.errors));

    const Run joined = run({"--join", "whole.mkv", "part-2.mkv", "part-1.mkv"}, folder.path(), headless({}));
    QVERIFY2(joined.exitCode == 0, qPrintable(joined.errors));
    const QStringList said = joined.errors.split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                                     .filter(QStringLiteral("different renderers"));
    QCOMPARE(said.size(), 1);
    // Parts in show order, each with its own renderer.
    QCOMPARE(said.first(), QStringLiteral("capture: the parts were drawn by different renderers (part 1 by %1; "
                                          "part 2 by %2): their frames may differ in the last bits; joining them")
                                   .arg(first, second));
    QVERIFY(QFileInfo::exists(folder.filePath(QStringLiteral("whole.mkv"))));
}

QTEST_GUILESS_MAIN(CaptureDeviceTest)

#include "tst_capturedevice.moc"
