#include "gpuscene.h"
#include "glsles.h"
#include "showquad.h"
#include "stageversion.h"

#ifdef __EMSCRIPTEN__
#include <GLES3/gl3.h>
#else
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#endif

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

// A compiled stage, or 0 with the compiler's messages in `log`.
GLuint compileStage(GLenum type, const std::string &stage, GpuScene::Dialect dialect, std::string &log)
{
    const std::string source = dialect == GpuScene::Dialect::Es ? GlslEs::fromDesktop(stage)
                                                                 : StageVersion::forDesktop(stage);
    const GLuint shader = glCreateShader(type);
    const char *text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    log = infoLog(shader, false);
    if (compiled == GL_TRUE)
        return shader;
    glDeleteShader(shader);
    return 0;
}

} // namespace

GpuScene::GpuScene(const Objects &hostObjects)
    : m_objects(hostObjects)
{
    if (m_objects.vertexArray == 0)
        glGenVertexArrays(1, &m_made.vertexArray);
    if (m_objects.quadBuffer == 0)
        glGenBuffers(1, &m_made.quadBuffer);
    if (m_objects.font == 0)
        glGenTextures(1, &m_made.font);
    m_objects = {m_objects.vertexArray ? m_objects.vertexArray : m_made.vertexArray,
                 m_objects.quadBuffer ? m_objects.quadBuffer : m_made.quadBuffer,
                 m_objects.font ? m_objects.font : m_made.font};

    // The vertex attribute is described at each draw, as the program's.
    glBindVertexArray(m_objects.vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, m_objects.quadBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof(ShowGL::quad), ShowGL::quad, GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
}

GpuScene::~GpuScene()
{
    dropProgram();
    glDeleteTextures(1, &m_made.font);
    glDeleteBuffers(1, &m_made.quadBuffer);
    glDeleteVertexArrays(1, &m_made.vertexArray);
}

GpuScene::Build GpuScene::compile(unsigned program, const std::string &vertexStage,
                                  const std::string &fragmentStage, Dialect dialect)
{
    Build build;
    const GLuint vertex = compileStage(GL_VERTEX_SHADER, vertexStage, dialect, build.log);
    if (vertex == 0) {
        build.failure = Failure::Vertex;
        return build;
    }
    const GLuint fragment = compileStage(GL_FRAGMENT_SHADER, fragmentStage, dialect, build.log);
    if (fragment == 0) {
        build.failure = Failure::Fragment;
        glDeleteShader(vertex);
        return build;
    }
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    // The linked program keeps what it needs of them.
    glDetachShader(program, vertex);
    glDetachShader(program, fragment);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    build.log = infoLog(program, true);
    build.failure = linked == GL_TRUE ? Failure::None : Failure::Link;
    return build;
}

GpuScene::Build GpuScene::build(const std::string &vertexStage, const std::string &fragmentStage, Dialect dialect)
{
    const GLuint program = glCreateProgram();
    const Build build = compile(program, vertexStage, fragmentStage, dialect);
    if (build.failure != Failure::None) {
        glDeleteProgram(program);
        return build;
    }
    use(program);
    m_ownsProgram = true;
    return build;
}

void GpuScene::use(unsigned program)
{
    dropProgram();
    m_program = program;
    m_locations.lookUp(program);
}

void GpuScene::dropProgram()
{
    if (m_ownsProgram)
        glDeleteProgram(m_program);
    m_program = 0;
    m_ownsProgram = false;
    m_locations.lookUp(0);
}

void GpuScene::setFont(int width, int height, const unsigned char *rgba)
{
    glBindTexture(GL_TEXTURE_2D, m_objects.font);
    // Rows of four-byte pixels need no padding.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glGenerateMipmap(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void GpuScene::draw(const SceneUniforms &uniforms, float width, float height) const
{
    if (!isReady())
        return;
    glUseProgram(m_program);
    glBindVertexArray(m_objects.vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, m_objects.quadBuffer);
    glActiveTexture(GL_TEXTURE0 + SceneProgram::fontUnit);
    glBindTexture(GL_TEXTURE_2D, m_objects.font);
    m_locations.draw(uniforms, width, height);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
    glUseProgram(0);
}
