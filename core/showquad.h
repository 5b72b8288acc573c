#ifndef SHOWQUAD_H
#define SHOWQUAD_H

// The full-screen quad the scene is drawn on, shared by every GL host (the
// desktop's Qt ones and the web page's): plain C++, no Qt.
namespace ShowGL {

// Two triangles covering clip space.
constexpr float quad[] = {
    -1.0f, -1.0f,
     1.0f, -1.0f,
     1.0f,  1.0f,
     1.0f,  1.0f,
    -1.0f,  1.0f,
    -1.0f, -1.0f,
};
constexpr int quadVertices = 6;

} // namespace ShowGL

#endif // SHOWQUAD_H
