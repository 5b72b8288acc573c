// Outputs stand under their names only once whole: what a tool leaves when
// it completes, when it fails, and when it is refused at the start.

#include "datarows.h"
#include "pendingoutput.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

#include <sys/stat.h>
#include <unistd.h>

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

// The permission bits of what stands under a path (links not followed).
int modeOf(const QString &path)
{
    struct stat status;
    return lstat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

gid_t groupOf(const QString &path)
{
    struct stat status;
    return lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_gid : gid_t(-1);
}

// The process's umask for as long as it lives, then the one before.
class Umask
{
public:
    explicit Umask(mode_t mask) : m_before(::umask(mask)) {}
    ~Umask() { ::umask(m_before); }
    Umask(const Umask &) = delete;
    Umask &operator=(const Umask &) = delete;

private:
    mode_t m_before;
};

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
    void outputTakesTheModeOfANewFileOrOfWhatItReplaces_data();
    void outputTakesTheModeOfANewFileOrOfWhatItReplaces();
    void replacedOutputKeepsItsGroup_data();
    void replacedOutputKeepsItsGroup();

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

void PendingOutputTest::outputTakesTheModeOfANewFileOrOfWhatItReplaces_data()
{
    // A new output gets what the system gives any new file under the umask
    // (0666 less the mask's bits for a file, 0777 less them for a folder,
    // worked out by hand); one that replaces keeps the old one's mode,
    // whatever the umask. -1: nothing there before.
    addRows<bool, int, int, bool, int>({"folder", "mask", "before", "throughLink", "expected"},
            {{"new file, umask 022", false, 022, -1, false, 0644},
             {"new file, umask 077", false, 077, -1, false, 0600},
             {"new file, umask 027", false, 027, -1, false, 0640},
             {"new file, umask 002", false, 002, -1, false, 0664},
             {"private file replaced, umask 022", false, 022, 0600, false, 0600},
             {"open file replaced, umask 077", false, 077, 0644, false, 0644},
             {"group's file replaced, umask 077", false, 077, 0660, false, 0660},
             {"program replaced, umask 022", false, 022, 0755, false, 0755},
             {"read-only file replaced, umask 022", false, 022, 0444, false, 0444},
             {"private file through a link, umask 022", false, 022, 0600, true, 0600},
             {"new folder, umask 022", true, 022, -1, false, 0755},
             {"new folder, umask 077", true, 077, -1, false, 0700},
             {"new folder, umask 027", true, 027, -1, false, 0750},
             {"private empty folder replaced, umask 022", true, 022, 0700, false, 0700},
             {"open empty folder replaced, umask 077", true, 077, 0755, false, 0755}});
}

void PendingOutputTest::outputTakesTheModeOfANewFileOrOfWhatItReplaces()
{
    QFETCH(bool, folder);
    QFETCH(int, mask);
    QFETCH(int, before);
    QFETCH(bool, throughLink);
    QFETCH(int, expected);
    const QDir dir(m_dir->path());
    const QString real = dir.filePath(QStringLiteral("real"));
    const QString target = throughLink ? dir.filePath(QStringLiteral("out")) : real;
    if (before >= 0) {
        QVERIFY(folder ? dir.mkdir(QStringLiteral("real")) : write(real, "old"));
        QCOMPARE(chmod(QFile::encodeName(real).constData(), mode_t(before)), 0);
    }
    if (throughLink)
        QVERIFY(QFile::link(QStringLiteral("real"), target));

    const Umask masked{mode_t(mask)};
    PendingOutput output(target, folder ? PendingOutput::Kind::Folder : PendingOutput::Kind::File);
    QVERIFY2(output.create(), qPrintable(output.error()));
    // Its mode from the start: no one else may open it while it fills who
    // could not read it once it is in place.
    QCOMPARE(QString::number(modeOf(output.path()), 8), QString::number(expected, 8));
    QVERIFY(folder || write(output.path(), "new"));
    QVERIFY2(output.commit(), qPrintable(output.error()));
    QCOMPARE(QString::number(modeOf(real), 8), QString::number(expected, 8));
    if (throughLink)
        QVERIFY(QFileInfo(target).isSymLink());
}

void PendingOutputTest::replacedOutputKeepsItsGroup_data()
{
    addRows<bool>({"folder"}, {{"file", false}, {"empty folder", true}});
}

void PendingOutputTest::replacedOutputKeepsItsGroup()
{
    QFETCH(bool, folder);
    // A group other than the one a new file gets: any, for root; else one
    // of the user's other groups.
    gid_t other = gid_t(-1);
    if (geteuid() == 0) {
        other = getegid() + 4242;
    } else {
        gid_t groups[256];
        const int count = getgroups(256, groups);
        for (int i = 0; i < count; ++i)
            if (groups[i] != getegid())
                other = groups[i];
    }
    if (other == gid_t(-1))
        QSKIP("the user has no second group to give the file");

    const QString target = m_dir->filePath(QStringLiteral("shared"));
    QVERIFY(folder ? QDir(m_dir->path()).mkdir(QStringLiteral("shared")) : write(target, "old"));
    QCOMPARE(chown(QFile::encodeName(target).constData(), uid_t(-1), other), 0);
    QCOMPARE(chmod(QFile::encodeName(target).constData(), folder ? 0770 : 0660), 0);

    const Umask masked(077);
    PendingOutput output(target, folder ? PendingOutput::Kind::Folder : PendingOutput::Kind::File);
    QVERIFY2(output.create(), qPrintable(output.error()));
    QVERIFY2(output.commit(), qPrintable(output.error()));
    QCOMPARE(groupOf(target), other);
    QCOMPARE(QString::number(modeOf(target), 8), QString::number(folder ? 0770 : 0660, 8));
}

QTEST_MAIN(PendingOutputTest)
#include "tst_pendingoutput.moc"
