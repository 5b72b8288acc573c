#ifndef SCENEPROGRAM_H
#define SCENEPROGRAM_H

#include <GLES3/gl3.h>

#include <string>

// The show's scene on WebGL 2: the full-screen quad drawn with the program
// of the show's two stages, fed the scene's four uniforms. Needs the page's
// GL context current for all of its life (the page has only the one).
class SceneProgram
{
public:
    SceneProgram();
    ~SceneProgram();
    SceneProgram(const SceneProgram &) = delete;
    SceneProgram &operator=(const SceneProgram &) = delete;

    // Compiles and links the two stages; returns what the compiler or the
    // linker said when they failed, naming the stage, or nothing.
    std::string build(const std::string &vertexSource, const std::string &fragmentSource);
    bool isReady() const { return m_program != 0; }

    // Draws the frame over a viewport of width x height framebuffer pixels,
    // which is also the resolution the scene is told.
    void draw(int width, int height, float showTime, float beatPulse, GLuint font);

private:
    GLuint m_program = 0;
    GLuint m_vao = 0;
    GLuint m_vbo = 0;
    GLint m_vertex = -1;
    GLint m_beat = -1;
    GLint m_font = -1;
    GLint m_resolution = -1;
    GLint m_time = -1;
};

#endif // SCENEPROGRAM_H
