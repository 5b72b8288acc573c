// The README and the pages in docs/ as a reader follows them: every shell
// block they give is run as written, in a folder of the page's own that holds
// what the examples name, with the programs under their installed names; and
// every link between the pages leads to a file.

#include "processrun.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <memory>

namespace {

const QString sourceDir = QStringLiteral(SOURCE_DIR);

// The README and every page of docs/, as paths relative to the source tree.
QStringList pages()
{
    QStringList pages{QStringLiteral("README.md")};
    for (const QString &page : QDir(sourceDir + QStringLiteral("/docs")).entryList({QStringLiteral("*.md")}, QDir::Files, QDir::Name))
        pages << QStringLiteral("docs/") + page;
    return pages;
}

QStringList pageLines(const QString &page)
{
    QFile file(sourceDir + QLatin1Char('/') + page);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
}

struct ShellBlock
{
    int line = 0;     // of the opening fence, counted from 1
    QString text;     // the commands, unindented
    QString notRunBecause; // the marker's reason; empty: the block runs
};

const QRegularExpression notRunMarker(QStringLiteral(R"(^\s*<!-- docs test: not run \((.+)\) -->\s*$)"));

// A page's fenced blocks of shell, with the marker before each where there
// is one. A marker that stands before anything but a shell block is a fault
// of the page and comes back as a block without text.
QList<ShellBlock> shellBlocks(const QStringList &lines)
{
    static const QRegularExpression fence(QStringLiteral(R"(^(\s*)```(\S*)\s*$)"));
    QList<ShellBlock> blocks;
    for (int i = 0; i < lines.size(); ++i) {
        const QRegularExpressionMatch open = fence.match(lines.at(i));
        const QRegularExpressionMatch marker = notRunMarker.match(lines.at(i));
        if (marker.hasMatch() && (i + 1 == lines.size() || !lines.at(i + 1).trimmed().startsWith(QLatin1String("```sh")))) {
            blocks.append({i + 1, QString(), marker.captured(1)});
            continue;
        }
        if (!open.hasMatch())
            continue;
        const int indent = open.captured(1).size();
        QStringList body;
        int end = i + 1;
        for (; end < lines.size() && !lines.at(end).trimmed().startsWith(QLatin1String("```")); ++end)
            body << lines.at(end).mid(indent);
        if (open.captured(2) == QLatin1String("sh")) {
            const QRegularExpressionMatch before = i > 0 ? notRunMarker.match(lines.at(i - 1)) : QRegularExpressionMatch();
            blocks.append({i + 1, body.join(QLatin1Char('\n')), before.hasMatch() ? before.captured(1) : QString()});
        }
        i = end;
    }
    return blocks;
}

ProcessRun::Result run(const QString &program, const QStringList &arguments, const QString &folder,
                       const QProcessEnvironment &environment = ProcessRun::toolEnvironment())
{
    return ProcessRun::run(program, arguments, {folder, environment, 240000});
}

} // namespace

class DocsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void shellBlocksRunAsWritten_data();
    void shellBlocksRunAsWritten();
    void blocksLeftOutSayWhy();
    void linksLeadToFiles_data();
    void linksLeadToFiles();

private:
    QString pageFolder(const QString &page);

    QTemporaryDir m_work;
    QString m_bin;     // the programs under their installed names
    QString m_fixture; // what every page's folder starts with
    std::map<QString, std::unique_ptr<QTemporaryDir>> m_pageFolders;
};

void DocsTest::initTestCase()
{
    QVERIFY(m_work.isValid());
    m_bin = m_work.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(m_bin));
    const QList<std::pair<QString, QString>> programs{
        {QStringLiteral("wallrise"), QStringLiteral(SHOW_EXECUTABLE)},
        {QStringLiteral("wallrise-studio"), QStringLiteral(STUDIO_EXECUTABLE)},
        {QStringLiteral("wallrise-capture"), QStringLiteral(CAPTURE_EXECUTABLE)},
        {QStringLiteral("bmm"), QStringLiteral(BMM_EXECUTABLE)},
        {QStringLiteral("fontatlas"), QStringLiteral(FONTATLAS_EXECUTABLE)},
        {QStringLiteral("wallrise-export"), QStringLiteral(WEBEXPORT_EXECUTABLE)},
    };
    for (const auto &[name, target] : programs)
        QVERIFY(QFile::link(target, m_bin + QLatin1Char('/') + name));

    // The files the examples name: the build's show files, the stages, and a
    // short track as WAV, FLAC and MP3 with a beats file for it.
    m_fixture = m_work.filePath(QStringLiteral("fixture"));
    QVERIFY(QDir().mkpath(m_fixture + QStringLiteral("/shaders")));
    QVERIFY(QFile::link(QStringLiteral(BUILD_DIR), m_fixture + QStringLiteral("/build")));
    for (const QString &file : {QStringLiteral("music.bmm"), QStringLiteral("text.png")})
        QVERIFY2(QFile::copy(QStringLiteral(BUILD_DIR "/") + file, m_fixture + QLatin1Char('/') + file), qPrintable(file));
    for (const QString &stage : {QStringLiteral("shader.vert"), QStringLiteral("shader.frag")})
        QVERIFY(QFile::copy(sourceDir + QStringLiteral("/shaders/") + stage, m_fixture + QStringLiteral("/shaders/") + stage));
    for (const QString &song : {QStringLiteral("song.wav"), QStringLiteral("song.flac"), QStringLiteral("song.mp3")}) {
        const ProcessRun::Result made = run(QStringLiteral("ffmpeg"), {"-v", "error", "-f", "lavfi", "-i", "sine=frequency=220:duration=3",
                                                                       "-ac", "2", song}, m_fixture);
        QVERIFY2(made.ok(), made.err.constData());
    }
    QFile beats(m_fixture + QStringLiteral("/beats.txt"));
    QVERIFY(beats.open(QIODevice::WriteOnly));
    beats.write("# kicks\n0.5\n1.0   # the drop\n2.25\n");
}

// Each page's blocks run one after the other in one folder, as a reader
// working down the page would run them.
QString DocsTest::pageFolder(const QString &page)
{
    std::unique_ptr<QTemporaryDir> &folder = m_pageFolders[page];
    if (!folder) {
        folder = std::make_unique<QTemporaryDir>(m_work.filePath(QStringLiteral("page-XXXXXX")));
        const ProcessRun::Result copied = run(QStringLiteral("cp"), {"-a", m_fixture + QStringLiteral("/."), folder->path()}, QString());
        if (!copied.ok())
            qWarning("%s", copied.err.constData());
    }
    return folder->path();
}

void DocsTest::shellBlocksRunAsWritten_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("commands");
    int blocksRun = 0;
    for (const QString &page : pages()) {
        for (const ShellBlock &block : shellBlocks(pageLines(page))) {
            if (!block.notRunBecause.isEmpty())
                continue;
            QTest::newRow(qPrintable(QStringLiteral("%1:%2").arg(page).arg(block.line))) << page << block.text;
            ++blocksRun;
        }
    }
    // The pages give commands to run; none found means the walk lost them.
    QVERIFY2(blocksRun >= 3, qPrintable(QString::number(blocksRun)));
}

void DocsTest::shellBlocksRunAsWritten()
{
    QFETCH(QString, page);
    QFETCH(QString, commands);
    QProcessEnvironment environment = ProcessRun::toolEnvironment();
    environment.insert(QStringLiteral("PATH"), m_bin + QLatin1Char(':') + environment.value(QStringLiteral("PATH")));
    environment.insert(QStringLiteral("HOME"), m_work.path());
    environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    // Every line must succeed: the shell stops at the first that does not.
    const ProcessRun::Result ran = run(QStringLiteral("sh"), {"-e", "-x", "-c", commands}, pageFolder(page), environment);
    QVERIFY2(ran.ok(), qPrintable(QStringLiteral("exit %1\n%2").arg(ran.exitCode).arg(ran.errText().right(3000))));
}

void DocsTest::blocksLeftOutSayWhy()
{
    // A marker must stand right before the shell block it keeps from running,
    // so that moving a block never leaves it out by accident.
    int leftOut = 0;
    for (const QString &page : pages()) {
        for (const ShellBlock &block : shellBlocks(pageLines(page))) {
            if (block.notRunBecause.isEmpty())
                continue;
            QVERIFY2(!block.text.trimmed().isEmpty(),
                     qPrintable(QStringLiteral("%1:%2: the marker stands before no shell block").arg(page).arg(block.line)));
            ++leftOut;
        }
    }
    // The README's own two commands are among them: they install and build.
    const QList<ShellBlock> readme = shellBlocks(pageLines(QStringLiteral("README.md")));
    QVERIFY(!readme.isEmpty());
    QVERIFY(readme.first().text.startsWith(QLatin1String("make run ")));
    QVERIFY(!readme.first().notRunBecause.isEmpty());
    QVERIFY(leftOut >= 1);
}

void DocsTest::linksLeadToFiles_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("target");
    // [text](target): relative targets only; web addresses are not followed.
    static const QRegularExpression link(QStringLiteral(R"(\]\(([^)\s#]+)(#[^)]*)?\))"));
    for (const QString &page : pages()) {
        const QStringList lines = pageLines(page);
        for (int i = 0; i < lines.size(); ++i) {
            for (QRegularExpressionMatchIterator matches = link.globalMatch(lines.at(i)); matches.hasNext();) {
                const QRegularExpressionMatch match = matches.next();
                const QString target = match.captured(1);
                if (!target.contains(QLatin1String("://")))
                    QTest::newRow(qPrintable(QStringLiteral("%1:%2 %3").arg(page).arg(i + 1).arg(target))) << page << target;
            }
        }
    }
}

void DocsTest::linksLeadToFiles()
{
    QFETCH(QString, page);
    QFETCH(QString, target);
    const QString from = QFileInfo(sourceDir + QLatin1Char('/') + page).absolutePath();
    QVERIFY2(QFileInfo::exists(from + QLatin1Char('/') + target), qPrintable(target));
}

QTEST_GUILESS_MAIN(DocsTest)
#include "tst_docs.moc"
