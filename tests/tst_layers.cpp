// The layers as docs/layout.md draws them: core's rules in plain C++ (no
// Qt, no SDL, no browser), the Qt adapters over them, the platform layer,
// and tools that each keep to their own folder, sharing only through those.
// Every source's #include lines are held against the headers of the folders
// it must not reach into.

#include "datarows.h"

#include <QDir>
#include <QRegularExpression>
#include <QtTest>

namespace {

QString sourceDir(const QString &folder)
{
    return QStringLiteral(SOURCE_DIR "/") + folder;
}

QStringList filesOf(const QString &folder, const QStringList &patterns)
{
    return QDir(sourceDir(folder)).entryList(patterns, QDir::Files);
}

// Every header a folder (or a tool's folder, for "tools/*") holds.
QStringList headersOf(const QString &folder)
{
    return filesOf(folder, {QStringLiteral("*.h")});
}

QStringList toolFolders()
{
    QStringList folders;
    for (const QString &tool : QDir(sourceDir(QStringLiteral("tools"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        folders << QStringLiteral("tools/") + tool;
    return folders;
}

// "file: #include <name>" for each include of the folder's sources that
// names one of `headers` (not a header of its own) or begins with one of
// `systemPrefixes`.
QStringList reachingIncludes(const QString &folder, const QStringList &headers, const QStringList &systemPrefixes)
{
    static const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s*([<\"])([^>\"]+)[>\"]"),
                                            QRegularExpression::MultilineOption);
    const QStringList own = headersOf(folder);
    QStringList found;
    for (const QString &name : filesOf(folder, {QStringLiteral("*.h"), QStringLiteral("*.cpp")})) {
        QFile file(QDir(sourceDir(folder)).filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            return {name + QStringLiteral(": cannot be read")};
        const QString text = QString::fromUtf8(file.readAll());
        for (auto match = include.globalMatch(text); match.hasNext();) {
            const QRegularExpressionMatch each = match.next();
            const QString header = each.captured(2);
            const bool quoted = each.captured(1) == QLatin1String("\"");
            const bool reaches = (quoted && headers.contains(header) && !own.contains(header))
                    || std::any_of(systemPrefixes.cbegin(), systemPrefixes.cend(),
                                   [&](const QString &prefix) { return header.startsWith(prefix); });
            if (reaches)
                found << QStringLiteral("%1/%2: #include %3").arg(folder, name, each.captured(0).section(
                        QStringLiteral("include"), 1).trimmed());
        }
    }
    return found;
}

} // namespace

class LayersTest : public QObject
{
    Q_OBJECT

private slots:
    void noLayerReachesAboveItself_data();
    void noLayerReachesAboveItself();
    void noToolReachesIntoAnothersFolder();
};

void LayersTest::noLayerReachesAboveItself_data()
{
    // Above core: qt/, platform/, the tools, the show window; Qt's headers
    // all begin with Q, SDL's with SDL, the browser's with emscripten.
    const QStringList aboveQt = QStringList{QStringLiteral("platform")} + toolFolders();
    addRows<QString, QStringList, QStringList>({"folder", "above", "system"},
            {{"core: plain C++", "core", QStringList{"qt"} + aboveQt, {"Q", "SDL", "emscripten"}},
             {"qt: the adapters", "qt", aboveQt, {"SDL", "emscripten"}},
             {"platform: no tool", "platform", toolFolders(), {"emscripten"}},
             {"web: core's rules, no Qt", "web", QStringList{"qt", "platform"} + toolFolders(), {"Q", "SDL"}}});
}

void LayersTest::noLayerReachesAboveItself()
{
    QFETCH(QString, folder);
    QFETCH(QStringList, above);
    QFETCH(QStringList, system);

    QStringList headers;
    for (const QString &each : above)
        headers << headersOf(each);
    headers << QStringLiteral("window.h");
    QVERIFY(!headersOf(folder).isEmpty());
    const QStringList found = reachingIncludes(folder, headers, system);
    QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
}

void LayersTest::noToolReachesIntoAnothersFolder()
{
    const QStringList tools = toolFolders();
    QVERIFY(tools.size() >= 5);
    QStringList found;
    for (const QString &tool : tools) {
        QStringList others;
        for (const QString &other : tools)
            if (other != tool)
                others << headersOf(other);
        found << reachingIncludes(tool, others, {});
    }
    QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
}

QTEST_APPLESS_MAIN(LayersTest)
#include "tst_layers.moc"
