#include "sceneprogram.h"
#include "showquad.h"

#ifdef __EMSCRIPTEN__
#include <GLES3/gl3.h>
#else
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#endif

void SceneProgram::lookUp(unsigned program)
{
    *this = SceneProgram();
    if (program == 0)
        return;
    m_program = program;
    m_vertex = glGetAttribLocation(program, vertexAttribute);
    m_beat = glGetUniformLocation(program, beatUniform);
    m_font = glGetUniformLocation(program, fontUniform);
    m_resolution = glGetUniformLocation(program, resolutionUniform);
    m_time = glGetUniformLocation(program, timeUniform);
}

void SceneProgram::draw(const SceneUniforms &uniforms, float width, float height) const
{
    if (m_program == 0)
        return;
    if (m_vertex >= 0) {
        glVertexAttribPointer(GLuint(m_vertex), 2, GL_FLOAT, GL_FALSE, 0, nullptr);
        glEnableVertexAttribArray(GLuint(m_vertex));
    }
    feed(uniforms, width, height);
    glDrawArrays(GL_TRIANGLES, 0, ShowGL::quadVertices);
    if (m_vertex >= 0)
        glDisableVertexAttribArray(GLuint(m_vertex));
}

void SceneProgram::feed(const SceneUniforms &uniforms, float width, float height) const
{
    if (m_program == 0)
        return;
    // The scene reads only the resolution and the show time today; the beat
    // pulse and the font's unit are fed all the same, for scenes that use them.
    glUniform1f(m_beat, uniforms.beat);
    glUniform1i(m_font, fontUnit);
    glUniform2f(m_resolution, width, height);
    glUniform1f(m_time, uniforms.showTime);
}
