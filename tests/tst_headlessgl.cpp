// GL without a display server: both kinds of context the platform makes,
// from one EGL display, each speaking its own shading language.

#include "datarows.h"
#include "headlessgl.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLShader>
#include <QtTest>

Q_DECLARE_METATYPE(HeadlessGL::Api)

class HeadlessGLTest : public QObject
{
    Q_OBJECT

private slots:
    void platformInUse();
    void contextOfEachKind_data();
    void contextOfEachKind();
};

void HeadlessGLTest::platformInUse()
{
    QCOMPARE(QGuiApplication::platformName(), HeadlessGL::name());
}

void HeadlessGLTest::contextOfEachKind_data()
{
    // What each kind must be, as the GL itself says it (GL_VERSION begins
    // "OpenGL ES " for ES and with the version number for desktop GL), and a
    // fragment stage in each language that the context builds. The ES
    // context refuses desktop GLSL, which is what checking a stage on it is
    // for (desktop GL may well take ES stages: refused is empty there).
    const QByteArray desktopStage = "#version 330 core\nout vec4 colour;\nvoid main() { colour = vec4(1.0); }\n";
    const QByteArray esStage = "#version 300 es\nprecision highp float;\nout vec4 colour;\n"
                               "void main() { colour = vec4(1.0); }\n";
    addRows<HeadlessGL::Api, bool, int, int, QByteArray, QByteArray>(
            {"api", "es", "major", "minor", "builds", "refused"},
            {{"desktop 4.1 core", HeadlessGL::Api::OpenGL41Core, false, 4, 1, desktopStage, QByteArray()},
             {"ES 3.0", HeadlessGL::Api::OpenGLES30, true, 3, 0, esStage, desktopStage}});
}

void HeadlessGLTest::contextOfEachKind()
{
    QFETCH(HeadlessGL::Api, api);
    QFETCH(bool, es);
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(QByteArray, builds);
    QFETCH(QByteArray, refused);

    QOpenGLContext context;
    context.setFormat(HeadlessGL::format(api));
    QVERIFY2(context.create(), qPrintable(HeadlessGL::failure()));
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    QVERIFY(context.makeCurrent(&surface));

    const QString version = QString::fromLatin1(
            reinterpret_cast<const char *>(context.functions()->glGetString(GL_VERSION)));
    QCOMPARE(version.startsWith(QLatin1String("OpenGL ES ")), es);
    QCOMPARE(context.isOpenGLES(), es);
    QVERIFY2(qMakePair(context.format().majorVersion(), context.format().minorVersion()) >= qMakePair(major, minor),
             qPrintable(version));
    if (!es)
        QCOMPARE(context.format().profile(), QSurfaceFormat::CoreProfile);

    QOpenGLShader good(QOpenGLShader::Fragment);
    QVERIFY2(good.compileSourceCode(builds), qPrintable(good.log()));
    if (!refused.isEmpty()) {
        QOpenGLShader bad(QOpenGLShader::Fragment);
        QVERIFY(!bad.compileSourceCode(refused));
    }
    context.doneCurrent();
}

int main(int argc, char *argv[])
{
    // This platform alone, whatever display the tests run beside.
    qputenv("QT_QPA_PLATFORM", HeadlessGL::name().toLatin1());
    QGuiApplication app(argc, argv);
    HeadlessGLTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_headlessgl.moc"
