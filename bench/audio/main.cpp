// Measures the sound's costs: the time one audio callback takes, and the
// show's peak resident memory with a small and with a very large music file,
// which differ by little because the payload is streamed, never loaded.
//
//   audiobench [SECONDS]   runs each show for SECONDS (default: the whole show)
//
// It prints its figures as rows for bench/run-bench.

#include "benchrows.h"
#include "musicfile.h"
#include "showfiles.h"
#include "window.h"

#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <vector>

namespace {

QTextStream err(stderr);

// A beat every half second of the show, as a real soundtrack has.
QList<int> beats()
{
    QList<int> list;
    for (int beat = 250; beat < 19000; beat += 250)
        list << beat;
    return list;
}

// A music file of the given size: beats, then a payload of real samples for
// the first payloadBytes and a hole (read as silence) after that.
bool writeMusic(const QString &path, qint64 size, qint64 payloadBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream stream(&file);
    stream.setByteOrder(QDataStream::LittleEndian);
    stream.setFloatingPointPrecision(QDataStream::SinglePrecision);
    stream << beats();
    for (qint64 i = 0; i < payloadBytes / MusicFile::bytesPerSample; ++i)
        stream << float(i % 401 - 200) / 400.0f;
    return stream.status() == QDataStream::Ok && file.resize(size);
}

qint64 statusKilobytes(qint64 pid, const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toLongLong();
    return -1;
}

// Runs the real show on the disk audio driver, so that the payload really
// streams, and returns its peak resident memory as last read before it ended.
qint64 showPeakKilobytes(const QString &folder, int seconds)
{
    QProcess show;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("disk"));
    environment.insert(QStringLiteral("SDL_DISKAUDIOFILE"), QStringLiteral("/dev/null"));
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("default.debug=false"));
    show.setProcessEnvironment(environment);
    show.setWorkingDirectory(folder);
    show.setStandardErrorFile(QProcess::nullDevice());
    show.start(QStringLiteral(SHOW_EXECUTABLE), QStringList());
    if (!show.waitForStarted())
        return -1;

    qint64 peak = -1;
    QElapsedTimer running;
    running.start();
    bool stopped = false;
    while (!show.waitForFinished(50)) {
        if (const qint64 now = statusKilobytes(show.processId(), QByteArrayLiteral("VmHWM")); now > 0)
            peak = now;
        // Once: a second signal after the show has let go of them would kill it.
        if (seconds > 0 && !stopped && running.elapsed() > seconds * 1000)
            stopped = ::kill(pid_t(show.processId()), SIGTERM) == 0;
    }
    return show.exitStatus() == QProcess::NormalExit && show.exitCode() == 0 ? peak : -1;
}

void measureCallback(const QString &folder)
{
    constexpr int calls = 5000;
    constexpr int bufferBytes = MusicFile::framesPerCallback * MusicFile::bytesPerFrame;
    const qint64 payload = qint64(calls + 100) * bufferBytes;
    if (!writeMusic(QDir(folder).filePath(QString::fromLatin1(ShowFiles::music)), 4 + 4 * beats().size() + payload, payload)) {
        err << "audiobench: cannot write the music file\n";
        return;
    }

    // The window is never shown: no device calls back, the loop below does.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);
    Window window;
    QDir::setCurrent(previous);

    std::vector<Uint8> buffer(bufferBytes);
    std::vector<qint64> times;
    times.reserve(calls);
    QElapsedTimer timer;
    for (int i = 0; i < calls; ++i) {
        timer.start();
        effect(&window, buffer.data(), bufferBytes);
        times.push_back(timer.nsecsElapsed());
    }
    std::vector<double> us;
    for (const qint64 ns : times)
        us.push_back(double(ns) / 1000.0);
    // One buffer lasts 20000 us.
    BenchRows::print(QStringLiteral("audio callback, us per call of %1 bytes").arg(bufferBytes),
                     QStringLiteral("-"), QStringLiteral("all"), BenchRows::figuresOf(us));
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("SDL_AUDIODRIVER", "none");
    QGuiApplication app(argc, argv);
    const int seconds = app.arguments().value(1).toInt();

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;

    measureCallback(dir.path());

    // The show runs full screen on the display it is given.
    const QSize screen = app.primaryScreen()->size() * app.primaryScreen()->devicePixelRatio();
    const QString screenSize = BenchRows::sizeText(screen.width(), screen.height());
    struct Size
    {
        const char *name;
        qint64 bytes;
    };
    qint64 first = -1;
    for (const Size size : {Size{"1 MB", 1024 * 1024}, Size{"1 GiB", 1024 * 1024 * 1024}}) {
        const QString folder = dir.filePath(QString::fromLatin1(size.name).remove(' '));
        QDir().mkpath(folder);
        // Real samples for the first megabyte, then a hole.
        if (!writeMusic(QDir(folder).filePath(QString::fromLatin1(ShowFiles::music)), size.bytes, 1024 * 1024 - 4 - 4 * beats().size())) {
            err << "audiobench: cannot write the music file\n";
            return 1;
        }
        const qint64 peak = showPeakKilobytes(folder, seconds);
        if (peak < 0) {
            err << "audiobench: the show did not run to its end\n";
            return 1;
        }
        BenchRows::printOne(QStringLiteral("peak resident memory, MB, %1 of %2").arg(QLatin1String(ShowFiles::music), QLatin1String(size.name)),
                            screenSize, QStringLiteral("all"), double(peak) / 1024.0);
        if (first < 0)
            first = peak;
        else
            BenchRows::printOne(QStringLiteral("peak resident memory, MB, 1 GiB less 1 MB music"),
                                screenSize, QStringLiteral("all"), double(peak - first) / 1024.0);
    }
    return 0;
}
