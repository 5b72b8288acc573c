#include "glreadback.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QtMath>

namespace GLReadBack {

QImage image(const QSize &size)
{
    QOpenGLFunctions *gl = QOpenGLContext::currentContext()->functions();
    QImage bottomFirst(size, QImage::Format_RGBA8888);
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 4);
    gl->glReadPixels(0, 0, size.width(), size.height(), GL_RGBA, GL_UNSIGNED_BYTE, bottomFirst.bits());
    return gl->glGetError() == GL_NO_ERROR ? bottomFirst.mirrored() : QImage();
}

QVector<QVector4D> values(const QSize &size)
{
    QVector<QVector4D> read(size.width() * size.height());
    QOpenGLContext::currentContext()->functions()->glReadPixels(0, 0, size.width(), size.height(), GL_RGBA, GL_FLOAT,
                                                                read.data());
    return read;
}

QVector<float> uniform(QOpenGLShaderProgram &program, const char *name, int components)
{
    const GLint location = program.uniformLocation(name);
    if (location < 0)
        return {};
    QVector<float> read(4, qQNaN());
    QOpenGLContext::currentContext()->functions()->glGetUniformfv(program.programId(), location, read.data());
    read.resize(components);
    return read;
}

} // namespace GLReadBack
