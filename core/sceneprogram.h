#ifndef SCENEPROGRAM_H
#define SCENEPROGRAM_H

#include "sceneuniforms.h"

// The scene program as every GL that draws the scene uses it (the desktop's
// OpenGL 4.1 core, the web page's WebGL 2): the names its stages give their
// input and uniforms, looked up once when a program has linked, and a
// frame's draw: the full-screen quad (ShowGL::quad) fed the four uniforms in
// the show's order. The program, its vertex array and the buffer holding the
// quad are the owner's, as GL objects of its platform, bound by it before a
// draw. Plain GL, no Qt: the program's context must be current.
class SceneProgram
{
public:
    // The names in the stages.
    static constexpr const char *vertexAttribute = "vertex";
    static constexpr const char *beatUniform = "iBeat";
    static constexpr const char *fontUniform = "iFont";
    static constexpr const char *resolutionUniform = "iResolution";
    static constexpr const char *timeUniform = "iGlobalTime";
    // The texture unit the font is bound on.
    static constexpr int fontUnit = 0;

    // Looks the locations up in a program that has just linked (its GL name).
    // A name the compiler dropped stays at -1, which GL ignores. Until a
    // program is looked up (or after 0), draw() and feed() do nothing.
    void lookUp(unsigned program);
    bool isReady() const { return m_program != 0; }

    // With the program, the vertex array and the quad's buffer bound:
    // describes `vertex` (two floats a vertex, tightly packed), feeds the
    // uniforms, draws the quad's two triangles and disables `vertex` again.
    // The resolution is in framebuffer pixels, which the scene measures in.
    void draw(const SceneUniforms &uniforms, float width, float height) const;

    // The four uniforms alone, in the show's order: iBeat, iFont,
    // iResolution, iGlobalTime. The program must be bound.
    void feed(const SceneUniforms &uniforms, float width, float height) const;

private:
    unsigned m_program = 0;
    int m_vertex = -1;
    int m_beat = -1;
    int m_font = -1;
    int m_resolution = -1;
    int m_time = -1;
};

#endif // SCENEPROGRAM_H
