#ifndef GPUSCENE_H
#define GPUSCENE_H

#include "sceneprogram.h"
#include "sceneuniforms.h"

#include <string>

// The scene on the GPU, once for every host that draws it (the show window,
// the studio, the capture, the web page): the full-screen quad in its vertex
// array and buffer, the font texture, the program, and a frame drawn from
// what the show host hands it (pulse, show time) at a size, with the font on
// unit 0. Plain GL, no Qt: the web page's WebGL 2 runs it too. The program
// is built from the two stage texts by the one version-line rule
// (StageVersion): here for a GL without Qt (the page's, and the export's
// check of GLSL ES), by Qt's program object for the Qt programs
// (SceneRenderer::buildInto), whose program it then draws with.
//
// Its GL objects are its own, made with it and deleted with it, or a host's
// (made, empty) that the host keeps as objects of its platform and deletes
// itself. Either way everything here needs the scene's context current.
class GpuScene
{
public:
    // The GL names of a host's objects for the quad and the font; 0 for one
    // the scene is to make itself.
    struct Objects
    {
        unsigned vertexArray = 0;
        unsigned quadBuffer = 0;
        unsigned font = 0;
    };

    // The GL a program is built for: the desktop's GLSL as the maker wrote
    // it, or the browser's GLSL ES 3.00 made from it (GlslEs).
    enum class Dialect { Desktop, Es };
    // Where a build stopped; None when it linked.
    enum class Failure { None, Vertex, Fragment, Link };
    struct Build
    {
        Failure failure = Failure::None;
        std::string log; // the compiler's or linker's messages, lines as the maker's files count them
    };

    // Makes what the host does not hand over (everything, without objects)
    // and uploads the quad.
    GpuScene() : GpuScene(Objects()) {}
    explicit GpuScene(const Objects &hostObjects);
    ~GpuScene();
    GpuScene(const GpuScene &) = delete;
    GpuScene &operator=(const GpuScene &) = delete;

    // Compiles the stage texts and links them into `program`, a program
    // object of the caller's, in whatever context is current (another of the
    // scene's share group will do, so that a slow compile can run on a
    // thread of its own).
    static Build compile(unsigned program, const std::string &vertexStage, const std::string &fragmentStage,
                         Dialect dialect);
    // Builds a program of the scene's own; it draws from now on when it
    // linked, and otherwise the program before (if any) draws on.
    Build build(const std::string &vertexStage, const std::string &fragmentStage, Dialect dialect);
    // Draws with a program linked elsewhere (0: none), which stays its maker's.
    void use(unsigned program);
    bool isReady() const { return m_locations.isReady(); }
    unsigned program() const { return m_program; }

    // The font from an image's RGBA pixels, 8 bits each, its top row first
    // (so a stage's texture coordinate t = 0 is the image's top), mipmapped.
    void setFont(int width, int height, const unsigned char *rgba);
    // The font texture, for a host that fills it from a decoder of its own
    // the same way (top row first, with mipmaps).
    unsigned font() const { return m_objects.font; }

    // Draws the frame over the viewport the host has set: the quad with the
    // program, fed the frame's uniforms and the resolution (framebuffer
    // pixels), the font bound on unit 0. Leaves nothing bound.
    void draw(const SceneUniforms &uniforms, float width, float height) const;

private:
    void dropProgram();

    Objects m_objects;
    Objects m_made; // those of m_objects the scene made, to delete
    unsigned m_program = 0;
    bool m_ownsProgram = false;
    SceneProgram m_locations;
};

#endif // GPUSCENE_H
