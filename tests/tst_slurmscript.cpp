// Paths as the scripts and log names of capture --slurm hold them: every
// path read back by sh exactly as it was, whatever it holds, or refused when
// sh or Slurm could not read it back.

#include "datarows.h"
#include "processrun.h"
#include "slurmscript.h"

#include <QTemporaryFile>
#include <QtTest>

class SlurmScriptTest : public QObject
{
    Q_OBJECT

private slots:
    void everyPathIsOneWordForSh_data();
    void everyPathIsOneWordForSh();
    void logNamesKeepTheFolderAsItIs_data();
    void logNamesKeepTheFolderAsItIs();
};

void SlurmScriptTest::everyPathIsOneWordForSh_data()
{
    // The words written out by hand: single quotes around the bytes, each
    // quote inside closed, escaped and opened again ('\''). Empty: refused.
    addRows<QByteArray, QByteArray>({"path", "word"},
            {{"plain", "/data/show.mkv", "'/data/show.mkv'"},
             {"spaces", "/data/my show/a  b.mkv", "'/data/my show/a  b.mkv'"},
             {"a single quote", "/data/it's.mkv", "'/data/it'\\''s.mkv'"},
             {"double quotes", "/data/\"x\".mkv", "'/data/\"x\".mkv'"},
             {"a variable and a command", "/data/$HOME $(touch x).mkv", "'/data/$HOME $(touch x).mkv'"},
             {"backquotes", "/data/`id`.mkv", "'/data/`id`.mkv'"},
             {"a backslash", "/data/a\\nb\\", "'/data/a\\nb\\'"},
             {"a newline and a line sbatch would read", "/data/a\n#SBATCH --array=1-99\nrm x",
              "'/data/a\n#SBATCH --array=1-99\nrm x'"},
             {"a lone carriage return", "/data/a\rb", "'/data/a\rb'"},
             {"a glob and a comment", "/data/* #x", "'/data/* #x'"},
             {"not UTF-8", "/data/\xff\xfe.mkv", "'/data/\xff\xfe.mkv'"},
             {"a carriage return before a line end", "/data/a\r\nb", ""}});
}

void SlurmScriptTest::everyPathIsOneWordForSh()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, word);
    const std::optional<QByteArray> quoted = SlurmScript::shellWord(path);
    if (word.isEmpty()) {
        QVERIFY(!quoted);
        return;
    }
    QVERIFY(quoted);
    QCOMPARE(*quoted, word);
    // sh itself reads it back from a script as one word, byte for byte.
    QTemporaryFile script;
    QVERIFY(script.open());
    QVERIFY(script.write("printf '%s|' " + *quoted + "\n") > 0 && script.flush());
    const ProcessRun::Result said = ProcessRun::runTool(QStringLiteral("sh"), {script.fileName()});
    QCOMPARE(said.exitCode, 0);
    QCOMPARE(said.out, path + '|');
}

void SlurmScriptTest::logNamesKeepTheFolderAsItIs_data()
{
    // Slurm reads %% as a %, and %a as the task: worked out from its rules
    // for --output. Empty: refused.
    addRows<QString, QString>({"folder", "pattern"},
            {{"plain", "/data/show.parts", "/data/show.parts/part-%a.log"},
             {"a percent", "/data/100%a.parts", "/data/100%%a.parts/part-%a.log"},
             {"a newline and quotes", "/data/a\n'b' \"c\".parts", "/data/a\n'b' \"c\".parts/part-%a.log"},
             {"a backslash", "/data/a\\b.parts", ""}});
}

void SlurmScriptTest::logNamesKeepTheFolderAsItIs()
{
    QFETCH(QString, folder);
    QFETCH(QString, pattern);
    const std::optional<QString> made = SlurmScript::logPattern(folder, QStringLiteral("part-%a.log"));
    QCOMPARE(made.value_or(QString()), pattern);
}

QTEST_MAIN(SlurmScriptTest)
#include "tst_slurmscript.moc"
