// bmm: makes, inspects and takes apart the show's music files.

#include "commands.h"
#include "failure.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

constexpr char usage[] =
    "usage:\n"
    "  bmm pack AUDIO OUT.bmm [--beats FILE | --detect-beats]\n"
    "  bmm info FILE.bmm\n"
    "  bmm unpack FILE.bmm OUT.wav [--beats OUT.txt]\n"
    "  bmm synth OUT.bmm\n";

int run(const QStringList &args)
{
    const QString command = args.value(1);
    const QStringList rest = args.mid(2);

    if (command == QLatin1String("pack") && (rest.size() == 2 || rest.size() == 3 || rest.size() == 4)) {
        if (rest.size() == 2) {
            pack(rest[0], rest[1], BeatSource::None, {});
            return 0;
        }
        if (rest.size() == 3 && rest[2] == QLatin1String("--detect-beats")) {
            pack(rest[0], rest[1], BeatSource::Detect, {});
            return 0;
        }
        if (rest.size() == 4 && rest[2] == QLatin1String("--beats")) {
            pack(rest[0], rest[1], BeatSource::TextFile, rest[3]);
            return 0;
        }
    } else if (command == QLatin1String("info") && rest.size() == 1) {
        info(rest[0]);
        return 0;
    } else if (command == QLatin1String("unpack") && (rest.size() == 2 || (rest.size() == 4 && rest[2] == QLatin1String("--beats")))) {
        unpack(rest[0], rest[1], rest.value(3));
        return 0;
    } else if (command == QLatin1String("synth") && rest.size() == 1) {
        synth(rest[0]);
        return 0;
    }
    QTextStream(stderr) << usage;
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    try {
        return run(app.arguments());
    } catch (const Failure &failure) {
        QTextStream(stderr) << "bmm: " << QString::fromUtf8(failure.what()) << '\n';
        return 1;
    }
}
