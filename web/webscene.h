#ifndef WEBSCENE_H
#define WEBSCENE_H

#include "sceneprogram.h"
#include "sceneuniforms.h"

#include <GLES3/gl3.h>

#include <string>

// The show's scene on WebGL 2: the program built from the show's two stages,
// the full-screen quad in its vertex array and buffer, drawn through core's
// scene program (its names, locations and draw). Needs the page's GL context
// current for all of its life (the page has only the one).
class WebScene
{
public:
    WebScene();
    ~WebScene();
    WebScene(const WebScene &) = delete;
    WebScene &operator=(const WebScene &) = delete;

    // Compiles and links the two stages; returns what the compiler or the
    // linker said when they failed, naming the stage, or nothing.
    std::string build(const std::string &vertexSource, const std::string &fragmentSource);
    bool isReady() const { return m_scene.isReady(); }

    // Draws the frame over a viewport of width x height framebuffer pixels,
    // which is also the resolution the scene is told.
    void draw(int width, int height, const SceneUniforms &uniforms, GLuint font);

private:
    GLuint m_program = 0;
    GLuint m_vao = 0;
    GLuint m_vbo = 0;
    SceneProgram m_scene;
};

#endif // WEBSCENE_H
