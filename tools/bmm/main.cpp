// bmm: makes, inspects and takes apart the show's music files.

#include "commands.h"
#include "failure.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

enum ExitCode { Done = 0, Failed = 1, BadOptions = 2 };

struct Argument
{
    QString name;
    QString description;
};

// One of the tool's commands: what it takes on its command line, and what
// it does with the line once read.
struct Command
{
    QString name;
    QString brief;       // one line for the tool's help
    QString description; // for the command's own help
    std::vector<Argument> arguments;
    QList<QCommandLineOption> options;
    // Returns what is wrong with the line, or runs the command (which throws
    // Failure when the work cannot be done) and returns nothing.
    std::function<QString(const QCommandLineParser &, const QStringList &)> run;
};

const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));

std::vector<Command> commands()
{
    const QCommandLineOption packBeats(QStringLiteral("beats"),
            QStringLiteral("Beat times from a text file: one time in seconds a line, '#' starts a comment; or an audio "
                           "editor's label file (start, end and text a line, split by tabs): the starts."),
            QStringLiteral("FILE"));
    const QCommandLineOption detectBeats(QStringLiteral("detect-beats"),
            QStringLiteral("Beat times found in the music by a beat tracker."));
    const QCommandLineOption unpackBeats(QStringLiteral("beats"),
            QStringLiteral("Also write the beat times, in seconds, into this text file."), QStringLiteral("OUT.txt"));

    return {
        {QStringLiteral("pack"), QStringLiteral("Packs an audio file into a music file, with beat times."),
         QStringLiteral("Packs an audio file (WAV, FLAC, Ogg Vorbis, Opus, MP3) into a music file: resampled to "
                        "44100 Hz stereo float, behind a list of beat times (none unless asked for)."),
         {{QStringLiteral("AUDIO"), QStringLiteral("The audio file to pack.")},
          {QStringLiteral("OUT.bmm"), QStringLiteral("The music file to write.")}},
         {packBeats, detectBeats},
         [=](const QCommandLineParser &line, const QStringList &arguments) {
             if (line.isSet(packBeats) && line.isSet(detectBeats))
                 return QStringLiteral("give --beats FILE or --detect-beats, not both");
             const BeatSource source = line.isSet(packBeats) ? BeatSource::TextFile
                     : line.isSet(detectBeats) ? BeatSource::Detect : BeatSource::None;
             pack(arguments[0], arguments[1], source, line.value(packBeats));
             return QString();
         }},
        {QStringLiteral("info"), QStringLiteral("Says what the show makes of a music file."),
         QStringLiteral("Says what the show makes of a music file: its beats, which of them fire, and its audio."),
         {{QStringLiteral("FILE.bmm"), QStringLiteral("The music file to read.")}},
         {},
         [](const QCommandLineParser &, const QStringList &arguments) {
             info(arguments[0]);
             return QString();
         }},
        {QStringLiteral("unpack"), QStringLiteral("Takes a music file apart into a WAV file and beat times."),
         QStringLiteral("Takes a music file apart: its audio into a WAV file (stereo float, 44100 Hz) and, if "
                        "asked, its beat times into a text file that pack reads back."),
         {{QStringLiteral("FILE.bmm"), QStringLiteral("The music file to read.")},
          {QStringLiteral("OUT.wav"), QStringLiteral("The WAV file to write.")}},
         {unpackBeats},
         [=](const QCommandLineParser &line, const QStringList &arguments) {
             unpack(arguments[0], arguments[1], line.value(unpackBeats));
             return QString();
         }},
        {QStringLiteral("synth"), QStringLiteral("Makes the show's default soundtrack."),
         QStringLiteral("Makes the show's default soundtrack: 38 s at 120 beats a minute, a beat in the list for "
                        "every kick."),
         {{QStringLiteral("OUT.bmm"), QStringLiteral("The music file to write.")}},
         {},
         [](const QCommandLineParser &, const QStringList &arguments) {
             synth(arguments[0]);
             return QString();
         }},
    };
}

QString toolHelp(const std::vector<Command> &all)
{
    QString text = QStringLiteral("Usage: bmm COMMAND [options] ARGUMENTS\n"
                                  "Makes, inspects and takes apart the show's music files.\n\n"
                                  "Commands:\n");
    for (const Command &command : all)
        text += QStringLiteral("  %1  %2\n").arg(command.name, -7).arg(command.brief);
    text += QStringLiteral("\nbmm COMMAND --help tells more about each.\n");
    return text;
}

QString usage(const Command &command)
{
    QString line = QStringLiteral("bmm ") + command.name + QStringLiteral(" [options]");
    for (const Argument &argument : command.arguments)
        line += QLatin1Char(' ') + argument.name;
    return line;
}

// Qt's help text for the command, with the command's own usage line.
QString commandHelp(const Command &command, const QCommandLineParser &parser)
{
    const QString text = parser.helpText();
    return QStringLiteral("Usage: ") + usage(command) + text.mid(text.indexOf(QLatin1Char('\n')));
}

int badOptions(const QString &problem, const QString &helpCommand)
{
    QTextStream(stderr) << "bmm: " << problem << " (" << helpCommand << " tells more)\n";
    return BadOptions;
}

int run(const QStringList &line)
{
    const std::vector<Command> all = commands();
    const QStringList names = [&all] {
        QStringList list;
        for (const Command &command : all)
            list << command.name;
        return list;
    }();

    // The command comes first; `bmm --help COMMAND` is its help too.
    QStringList rest = line.mid(1);
    const bool helpFirst = !rest.isEmpty() && (rest[0] == QLatin1String("--help") || rest[0] == QLatin1String("-h"));
    if (helpFirst && (rest.size() == 1 || !names.contains(rest[1]))) {
        QTextStream(stdout) << toolHelp(all);
        return Done;
    }
    if (helpFirst)
        rest.swapItemsAt(0, 1);
    if (rest.isEmpty())
        return badOptions(QStringLiteral("give a command: %1").arg(names.join(QStringLiteral(", "))),
                          QStringLiteral("bmm --help"));
    const auto command = std::find_if(all.cbegin(), all.cend(),
                                      [&rest](const Command &c) { return c.name == rest[0]; });
    if (command == all.cend())
        return badOptions(QStringLiteral("no command '%1'; the commands are %2")
                                  .arg(rest[0], names.join(QStringLiteral(", "))),
                          QStringLiteral("bmm --help"));

    QCommandLineParser parser;
    parser.setApplicationDescription(command->description);
    parser.addOption(helpOption);
    parser.addOptions(command->options);
    for (const Argument &argument : command->arguments)
        parser.addPositionalArgument(argument.name, argument.description);
    const QString helpCommand = QStringLiteral("bmm %1 --help").arg(command->name);

    // Options go anywhere among the arguments; "--" ends them.
    if (!parser.parse(QStringList{line[0]} + rest.mid(1))) {
        // Qt's own words, cut to the tool's form of a line.
        QString problem = parser.errorText();
        if (problem.endsWith(QLatin1Char('.')))
            problem.chop(1);
        if (!problem.isEmpty())
            problem[0] = problem[0].toLower();
        return badOptions(problem, helpCommand);
    }
    if (parser.isSet(helpOption)) {
        QTextStream(stdout) << commandHelp(*command, parser);
        return Done;
    }
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != int(command->arguments.size())) {
        QStringList wanted;
        for (const Argument &argument : command->arguments)
            wanted << argument.name;
        return badOptions(QStringLiteral("%1 wants %2; %3 given").arg(command->name, wanted.join(QLatin1Char(' ')))
                                  .arg(arguments.size() == 1 ? QStringLiteral("1 argument")
                                                             : QStringLiteral("%1 arguments").arg(arguments.size())),
                          helpCommand);
    }
    const QString problem = command->run(parser, arguments);
    if (!problem.isEmpty())
        return badOptions(problem, helpCommand);
    return Done;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    try {
        return run(app.arguments());
    } catch (const Failure &failure) {
        QTextStream(stderr) << "bmm: " << QString::fromUtf8(failure.what()) << '\n';
        return Failed;
    }
}
