// The desktop stage made GLSL ES where the web page loads it: the ES version
// line and the precision the desktop's GL has by default before the maker's
// lines, which a #line keeps numbered as in the maker's file.

#include "datarows.h"
#include "glsles.h"

#include <QtTest>

namespace {

// Written out by hand: what every stage gets in front of its own lines.
const QString header = QStringLiteral("#version 300 es\nprecision highp float;\nprecision highp int;\nprecision highp sampler2D;\n");

} // namespace

class GlslEsTest : public QObject
{
    Q_OBJECT

private slots:
    void stageBecomesGlslEsKeepingItsLines_data();
    void stageBecomesGlslEsKeepingItsLines();
};

void GlslEsTest::stageBecomesGlslEsKeepingItsLines_data()
{
    addRows<QString, QString>({"desktop", "es"},
            {{"the show's version line", "#version 330 core\nvoid main() {}\n", header + "#line 2\nvoid main() {}\n"},
             {"another desktop version", "#version 410 core\nout vec4 c;\n", header + "#line 2\nout vec4 c;\n"},
             {"spaces in the version line", "  # version 330\nx\n", header + "#line 2\nx\n"},
             {"no version line: the first line is the maker's line 1", "void main() {}\n",
              header + "#line 1\nvoid main() {}\n"},
             {"a comment that names a version is no version line", "// version 2\n#version 330 core\n",
              header + "#line 1\n// version 2\n#version 330 core\n"},
             {"a version line alone", "#version 330 core", header + "#line 2\n"},
             // Found by fuzzing: a line of "#" alone (a directive that does
             // nothing) was taken for the version line and left out.
             {"a first line of # alone is the maker's", "#\nvoid main() {}\n", header + "#line 1\n#\nvoid main() {}\n"},
             {"# and blanks are the maker's", " #  \nx\n", header + "#line 1\n #  \nx\n"},
             {"a directive that is no version", "#define A 1\n", header + "#line 1\n#define A 1\n"},
             {"Windows line ends kept", "#version 330 core\r\nvoid main() {}\r\n", header + "#line 2\nvoid main() {}\r\n"}});
}

void GlslEsTest::stageBecomesGlslEsKeepingItsLines()
{
    QFETCH(QString, desktop);
    QFETCH(QString, es);
    QCOMPARE(QString::fromStdString(GlslEs::fromDesktop(desktop.toStdString())), es);
}

QTEST_APPLESS_MAIN(GlslEsTest)
#include "tst_glsles.moc"
