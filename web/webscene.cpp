#include "webscene.h"
#include "glsles.h"
#include "showfiles.h"
#include "showquad.h"
#include "stagelog.h"

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

// The compiler's first message about a stage, named by the maker's file
// and line, as the one line the page shows; how many more there are after it.
std::string firstMessage(const std::string &log, const std::string &name)
{
    const std::vector<std::string> messages = StageLog::messages(log, name);
    if (messages.empty())
        return name + ": " + log;
    if (messages.size() == 1)
        return messages.front();
    return messages.front() + " (and " + std::to_string(messages.size() - 1) + " more)";
}

// A compiled stage, or 0 with the compiler's message in `error`. The stage
// is the maker's desktop GLSL, made GLSL ES here.
GLuint compile(GLenum type, const std::string &desktopSource, const char *name, std::string &error)
{
    const GLuint shader = glCreateShader(type);
    const std::string source = GlslEs::fromDesktop(desktopSource);
    const char *text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled == GL_TRUE)
        return shader;
    error = firstMessage(infoLog(shader, false), name);
    glDeleteShader(shader);
    return 0;
}

} // namespace

WebScene::WebScene()
{
    glGenVertexArrays(1, &m_vao);
    glGenBuffers(1, &m_vbo);
    glBindVertexArray(m_vao);
    glBindBuffer(GL_ARRAY_BUFFER, m_vbo);
    glBufferData(GL_ARRAY_BUFFER, sizeof(ShowGL::quad), ShowGL::quad, GL_STATIC_DRAW);
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

WebScene::~WebScene()
{
    glDeleteProgram(m_program);
    glDeleteBuffers(1, &m_vbo);
    glDeleteVertexArrays(1, &m_vao);
}

std::string WebScene::build(const std::string &vertexSource, const std::string &fragmentSource)
{
    std::string error;
    const GLuint vertex = compile(GL_VERTEX_SHADER, vertexSource, ShowFiles::vertexStage, error);
    if (vertex == 0)
        return error;
    const GLuint fragment = compile(GL_FRAGMENT_SHADER, fragmentSource, ShowFiles::fragmentStage, error);
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
    m_scene.lookUp(program);
    return {};
}

void WebScene::draw(int width, int height, const SceneUniforms &uniforms, GLuint font)
{
    glViewport(0, 0, width, height);
    if (!m_scene.isReady()) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        return;
    }

    glUseProgram(m_program);
    glBindVertexArray(m_vao);
    glBindBuffer(GL_ARRAY_BUFFER, m_vbo);
    glActiveTexture(GL_TEXTURE0 + SceneProgram::fontUnit);
    glBindTexture(GL_TEXTURE_2D, font);
    m_scene.draw(uniforms, float(width), float(height));
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
    glUseProgram(0);
}
