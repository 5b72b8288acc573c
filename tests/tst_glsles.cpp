// The one rule for a stage's #version line, as each GL is handed the stage:
// the desktop's GL with the version line first, the web page's GLSL ES with
// the ES version line and the precision the desktop's GL has by default; a
// #line after either keeps the maker's lines numbered as in the maker's file.

#include "datarows.h"
#include "glsles.h"
#include "stageversion.h"

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
    void desktopGlTakesTheVersionLineFirst_data();
    void desktopGlTakesTheVersionLineFirst();
};

void GlslEsTest::stageBecomesGlslEsKeepingItsLines_data()
{
    addRows<QString, QString>({"desktop", "es"},
            {{"the show's version line", "#version 330 core\nvoid main() {}\n", header + "#line 2\nvoid main() {}\n"},
             {"another desktop version", "#version 410 core\nout vec4 c;\n", header + "#line 2\nout vec4 c;\n"},
             {"spaces in the version line", "  # version 330\nx\n", header + "#line 2\nx\n"},
             {"no version line: the first line is the maker's line 1", "void main() {}\n",
              header + "#line 1\nvoid main() {}\n"},
             // GLSL lets comments and blank lines come before the version
             // line: what follows it is the maker's line 3, 4 or 5.
             {"a comment line before the version line", "// version 2\n#version 330 core\nx\n",
              header + "#line 3\nx\n"},
             {"blank lines before the version line", "\n  \n#version 330 core\nx\n", header + "#line 4\nx\n"},
             {"a comment of three lines before it", "/* a\n   b */\n#version 330 core\nx\n", header + "#line 4\nx\n"},
             {"a comment on the version line's own line", "/* a */ #version 330 core\nx\n",
              header + "#line 2\nx\n"},
             {"a version line after code is none", "float a;\n#version 330 core\n",
              header + "#line 1\nfloat a;\n#version 330 core\n"},
             {"a comment that never ends holds no version line", "/* #version 330 core\n",
              header + "#line 1\n/* #version 330 core\n"},
             {"a word that only begins with version", "#versions 330\nx\n", header + "#line 1\n#versions 330\nx\n"},
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

void GlslEsTest::desktopGlTakesTheVersionLineFirst_data()
{
    // Qt puts lines of its own right after the version line, so it must be
    // the first: the comments before it go (a comment is nothing to GL), and
    // a #line numbers the rest as the maker's file does.
    addRows<QString, QString>({"stage", "desktop"},
            {{"the show's version line", "#version 330 core\nvoid main() {}\n",
              "#version 330 core\n#line 2\nvoid main() {}\n"},
             {"comments and blank lines before it", "// mine\n\n/* two\n lines */\n#version 330 core\nx\n",
              "#version 330 core\n#line 6\nx\n"},
             {"a Windows line end off the version line", "// a\r\n#version 330 core\r\nx\r\n",
              "#version 330 core\n#line 3\nx\r\n"},
             {"no version line: left for the GL to refuse", "float a;\n#version 330 core\n",
              "float a;\n#version 330 core\n"}});
}

void GlslEsTest::desktopGlTakesTheVersionLineFirst()
{
    QFETCH(QString, stage);
    QFETCH(QString, desktop);
    QCOMPARE(QString::fromStdString(StageVersion::forDesktop(stage.toStdString())), desktop);
}

QTEST_APPLESS_MAIN(GlslEsTest)
#include "tst_glsles.moc"
