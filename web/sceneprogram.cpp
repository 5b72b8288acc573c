#include "sceneprogram.h"
#include "showquad.h"

#include <vector>

namespace {

std::string infoLog(GLuint object, bool isProgram)
{
    GLint length = 0;
    isProgram ? glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length) : glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    std::vector<char> text(std::size_t(length > 0 ? length : 1), '\0');
    isProgram ? glGetProgramInfoLog(object, GLsizei(text.size()), nullptr, text.data())
              : glGetShaderInfoLog(object, GLsizei(text.size()), nullptr, text.data());
    std::string log(text.data());
    while (!log.empty() && (log.back() == '\n' || log.back() == '\0'))
        log.pop_back();
    return log;
}

// A compiled stage, or 0 with the compiler's message in `error`.
GLuint compile(GLenum type, const std::string &source, const char *name, std::string &error)
{
    const GLuint shader = glCreateShader(type);
    const char *text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled == GL_TRUE)
        return shader;
    error = std::string(name) + " does not compile: " + infoLog(shader, false);
    glDeleteShader(shader);
    return 0;
}

} // namespace

SceneProgram::SceneProgram()
{
    glGenVertexArrays(1, &m_vao);
    glGenBuffers(1, &m_vbo);
    glBindVertexArray(m_vao);
    glBindBuffer(GL_ARRAY_BUFFER, m_vbo);
    glBufferData(GL_ARRAY_BUFFER, sizeof(ShowGL::quad), ShowGL::quad, GL_STATIC_DRAW);
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

SceneProgram::~SceneProgram()
{
    glDeleteProgram(m_program);
    glDeleteBuffers(1, &m_vbo);
    glDeleteVertexArrays(1, &m_vao);
}

std::string SceneProgram::build(const std::string &vertexSource, const std::string &fragmentSource)
{
    std::string error;
    const GLuint vertex = compile(GL_VERTEX_SHADER, vertexSource, "shader.vert", error);
    if (vertex == 0)
        return error;
    const GLuint fragment = compile(GL_FRAGMENT_SHADER, fragmentSource, "shader.frag", error);
    if (fragment == 0) {
        glDeleteShader(vertex);
        return error;
    }

    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        error = "the scene's stages do not link: " + infoLog(program, true);
        glDeleteProgram(program);
        return error;
    }

    glDeleteProgram(m_program);
    m_program = program;
    // Looked up once; a uniform the compiler dropped stays at -1, which GL ignores.
    m_vertex = glGetAttribLocation(program, "vertex");
    m_beat = glGetUniformLocation(program, "iBeat");
    m_font = glGetUniformLocation(program, "iFont");
    m_resolution = glGetUniformLocation(program, "iResolution");
    m_time = glGetUniformLocation(program, "iGlobalTime");
    return {};
}

void SceneProgram::draw(int width, int height, float showTime, float beatPulse, GLuint font)
{
    glViewport(0, 0, width, height);
    if (m_program == 0) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        return;
    }

    glUseProgram(m_program);
    glBindVertexArray(m_vao);
    glBindBuffer(GL_ARRAY_BUFFER, m_vbo);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, font);
    if (m_vertex >= 0) {
        glVertexAttribPointer(GLuint(m_vertex), 2, GL_FLOAT, GL_FALSE, 0, nullptr);
        glEnableVertexAttribArray(GLuint(m_vertex));
    }

    // In the desktop's order: the pulse, the font's unit, the size, the time.
    glUniform1f(m_beat, beatPulse);
    glUniform1i(m_font, 0);
    glUniform2f(m_resolution, float(width), float(height));
    glUniform1f(m_time, showTime);

    glDrawArrays(GL_TRIANGLES, 0, ShowGL::quadVertices);

    if (m_vertex >= 0)
        glDisableVertexAttribArray(GLuint(m_vertex));
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
    glUseProgram(0);
}
