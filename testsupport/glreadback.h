#ifndef GLREADBACK_H
#define GLREADBACK_H

#include <QImage>
#include <QSize>
#include <QVector4D>
#include <QVector>

class QOpenGLShaderProgram;

// What a frame left on the GL, read back in the current context.
namespace GLReadBack {

// The bound framebuffer's pixels as bytes, the top row first as in any
// picture (GL's first row is the bottom one).
QImage image(const QSize &size);

// The bound float framebuffer's values, row by row from the bottom.
QVector<QVector4D> values(const QSize &size);

// A float uniform of a linked program as the last draw left it; empty when
// the program has no such uniform.
QVector<float> uniform(QOpenGLShaderProgram &program, const char *name, int components);

} // namespace GLReadBack

#endif // GLREADBACK_H
