// Outputs stand under their names only once whole: what a tool leaves when
// it completes, when it fails, and when it is refused at the start.

#include "datarows.h"
#include "pendingoutput.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every entry of a folder, hidden ones included.
QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

} // namespace

class PendingOutputTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void fileTakesItsNameWholeOnlyOnCommit_data();
    void fileTakesItsNameWholeOnlyOnCommit();
    void abandonedOutputLeavesTheFolderAsItWas_data();
    void abandonedOutputLeavesTheFolderAsItWas();
    void fileReachedThroughLinksIsWrittenWhereTheyLead_data();
    void fileReachedThroughLinksIsWrittenWhereTheyLead();
    void folderOfFramesReplacesOnlyAnEmptyFolder();
    void newOutputNeverReplacesWhatStandsUnderItsName_data();
    void newOutputNeverReplacesWhatStandsUnderItsName();
    void outputsThatCannotBeWrittenAreRefusedAtTheStart_data();
    void outputsThatCannotBeWrittenAreRefusedAtTheStart();

private:
    std::optional<QTemporaryDir> m_dir;
};

void PendingOutputTest::init()
{
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
}

void PendingOutputTest::fileTakesItsNameWholeOnlyOnCommit_data()
{
    addRows<bool>({"existed"}, {{"new file", false}, {"over an old file", true}});
}

void PendingOutputTest::fileTakesItsNameWholeOnlyOnCommit()
{
    QFETCH(bool, existed);
    const QString target = m_dir->filePath(QStringLiteral("out.bmm"));
    if (existed)
        QVERIFY(write(target, "old"));

    PendingOutput output(target);
    QVERIFY2(output.create(), qPrintable(output.error()));
    QVERIFY(output.path() != target);
    QCOMPARE(QFileInfo(output.path()).dir(), QFileInfo(target).dir());
    QVERIFY(write(output.path(), "new and whole"));

    // Until the commit the name holds what it held.
    QCOMPARE(QFile::exists(target), existed);
    if (existed)
        QCOMPARE(contents(target), QByteArray("old"));

    QVERIFY2(output.commit(), qPrintable(output.error()));
    QCOMPARE(contents(target), QByteArray("new and whole"));
    QCOMPARE(entries(m_dir->path()), QStringList{QStringLiteral("out.bmm")});
    // Readable by others, as any file a tool writes.
    QVERIFY(QFileInfo(target).permission(QFile::ReadOther));
}

void PendingOutputTest::abandonedOutputLeavesTheFolderAsItWas_data()
{
    addRows<bool>({"folder"}, {{"file", false}, {"folder of frames", true}});
}

void PendingOutputTest::abandonedOutputLeavesTheFolderAsItWas()
{
    QFETCH(bool, folder);
    const QString target = m_dir->filePath(QStringLiteral("out"));
    QVERIFY(write(m_dir->filePath(QStringLiteral("other")), "kept"));
    {
        PendingOutput output(target, folder ? PendingOutput::Kind::Folder : PendingOutput::Kind::File);
        QVERIFY(output.create());
        if (folder)
            QVERIFY(write(QDir(output.path()).filePath(QStringLiteral("frame-00001.png")), "png"));
        else
            QVERIFY(write(output.path(), "half"));
        QCOMPARE(entries(m_dir->path()).size(), 2);
    }
    QCOMPARE(entries(m_dir->path()), QStringList{QStringLiteral("other")});
}

void PendingOutputTest::fileReachedThroughLinksIsWrittenWhereTheyLead_data()
{
    // Links as a user makes them: beside the file, in another folder by an
    // absolute path, a link to a link, and one to a file not made yet.
    addRows<QStringList, QString, bool>({"links", "file", "existed"},
            {{"beside it", {"out.bmm", "real.bmm"}, "real.bmm", true},
             {"in another folder", {"out.bmm", "@tracks/real.bmm"}, "tracks/real.bmm", true},
             {"a link to a link", {"out.bmm", "middle.bmm", "middle.bmm", "tracks/real.bmm"}, "tracks/real.bmm", true},
             {"to no file yet", {"out.bmm", "tracks/new.bmm"}, "tracks/new.bmm", false}});
}

void PendingOutputTest::fileReachedThroughLinksIsWrittenWhereTheyLead()
{
    QFETCH(QStringList, links); // pairs: the link, what it points to (@: by an absolute path)
    QFETCH(QString, file);
    QFETCH(bool, existed);
    const QDir dir(m_dir->path());
    QVERIFY(dir.mkdir(QStringLiteral("tracks")));
    if (existed)
        QVERIFY(write(dir.filePath(file), "old"));
    for (int i = 0; i < links.size(); i += 2) {
        const QString pointsTo = links[i + 1].startsWith(QLatin1Char('@')) ? dir.filePath(links[i + 1].mid(1))
                                                                          : links[i + 1];
        QVERIFY(QFile::link(pointsTo, dir.filePath(links[i])));
    }
    const QStringList folderBefore = entries(m_dir->path());

    PendingOutput output(dir.filePath(QStringLiteral("out.bmm")));
    QVERIFY2(output.create(), qPrintable(output.error()));
    QVERIFY(write(output.path(), "new"));
    QVERIFY2(output.commit(), qPrintable(output.error()));

    // The file gets the output; every link stays a link, leading where it did.
    QCOMPARE(contents(dir.filePath(file)), QByteArray("new"));
    for (int i = 0; i < links.size(); i += 2)
        QVERIFY2(QFileInfo(dir.filePath(links[i])).isSymLink(), qPrintable(links[i]));
    QCOMPARE(QFileInfo(dir.filePath(QStringLiteral("out.bmm"))).canonicalFilePath(),
             QFileInfo(dir.filePath(file)).canonicalFilePath());
    // Nothing left beside the links or the file, hidden or not.
    QCOMPARE(entries(m_dir->path()), folderBefore);
    QCOMPARE(entries(dir.filePath(QStringLiteral("tracks"))),
             file.startsWith(QLatin1String("tracks/")) ? QStringList{QFileInfo(file).fileName()} : QStringList());

    // A numbered output never takes a name a link stands under, even one
    // that leads nowhere.
    QVERIFY(QFile::link(QStringLiteral("tracks/none.png"), dir.filePath(QStringLiteral("shot.png"))));
    PendingOutput shot(dir.filePath(QStringLiteral("shot.png")));
    QVERIFY(shot.create());
    QVERIFY(!shot.commitAsNew());
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("tracks/none.png"))));
}

void PendingOutputTest::folderOfFramesReplacesOnlyAnEmptyFolder()
{
    const QString target = m_dir->filePath(QStringLiteral("frames"));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("frames")));

    PendingOutput output(target, PendingOutput::Kind::Folder);
    QVERIFY2(output.create(), qPrintable(output.error()));
    QVERIFY(write(QDir(output.path()).filePath(QStringLiteral("frame-00000.png")), "png"));
    QVERIFY2(output.commit(), qPrintable(output.error()));
    QCOMPARE(entries(target), QStringList{QStringLiteral("frame-00000.png")});
    QCOMPARE(entries(m_dir->path()), QStringList{QStringLiteral("frames")});

    // Now it holds frames: a second capture into it is refused.
    PendingOutput again(target, PendingOutput::Kind::Folder);
    QVERIFY(!again.create());
    QVERIFY2(again.error().contains(QStringLiteral("not an empty folder")), qPrintable(again.error()));
    QCOMPARE(entries(target), QStringList{QStringLiteral("frame-00000.png")});
}

void PendingOutputTest::newOutputNeverReplacesWhatStandsUnderItsName_data()
{
    addRows<bool>({"existed"}, {{"a free name", false}, {"a name taken while it was written", true}});
}

void PendingOutputTest::newOutputNeverReplacesWhatStandsUnderItsName()
{
    QFETCH(bool, existed);
    const QString target = m_dir->filePath(QStringLiteral("shot-0001.png"));

    std::optional<PendingOutput> output(std::in_place, target);
    QVERIFY2(output->create(), qPrintable(output->error()));
    QVERIFY(write(output->path(), "new"));
    if (existed)
        QVERIFY(write(target, "someone else's"));

    QCOMPARE(output->commitAsNew(), !existed);
    QCOMPARE(output->isCommitted(), !existed);
    QCOMPARE(contents(target), existed ? QByteArray("someone else's") : QByteArray("new"));
    if (existed) {
        QCOMPARE(output->error(), target + QStringLiteral(": is there already"));
        // Still pending under its hidden name, until it is abandoned.
        QCOMPARE(contents(output->path()), QByteArray("new"));
    }
    output.reset();
    QCOMPARE(entries(m_dir->path()), QStringList{QStringLiteral("shot-0001.png")});
}

void PendingOutputTest::outputsThatCannotBeWrittenAreRefusedAtTheStart_data()
{
    addRows<QString, bool, QString>({"target", "folder", "expected"},
            {{"file over a folder", "taken", false, "taken: is a folder"},
             {"folder over a file", "plain", true, "plain: is there already and is not an empty folder"},
             {"in no folder", "missing/out.mp4", false, "missing/out.mp4: cannot write: no folder"},
             {"in a folder that takes no files", "/proc/out.mp4", false, "/proc/out.mp4: cannot write"}});
}

void PendingOutputTest::outputsThatCannotBeWrittenAreRefusedAtTheStart()
{
    QFETCH(QString, target);
    QFETCH(bool, folder);
    QFETCH(QString, expected);
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("taken")));
    QVERIFY(write(m_dir->filePath(QStringLiteral("plain")), "x"));
    const QStringList before = entries(m_dir->path());

    QVERIFY(QDir::setCurrent(m_dir->path()));
    PendingOutput output(target, folder ? PendingOutput::Kind::Folder : PendingOutput::Kind::File);
    QVERIFY(!output.create());
    QVERIFY2(output.error().startsWith(expected), qPrintable(output.error()));
    QVERIFY(!output.error().contains(QLatin1Char('\n')));
    QVERIFY(!output.commit());
    QCOMPARE(entries(m_dir->path()), before);
}

QTEST_MAIN(PendingOutputTest)
#include "tst_pendingoutput.moc"
