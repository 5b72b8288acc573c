#ifndef GLSLES_H
#define GLSLES_H

#include <string>

// A stage of the show, written for the desktop's GLSL 3.30 core, as GLSL ES
// 3.00 for WebGL 2: its version line becomes the ES one, with the precision
// the desktop's GL has by default, and a #line keeps the compiler's line
// numbers those of the maker's file. Nothing else changes, so a show's
// stages are served as the maker wrote them and made ES where they load.
// Plain C++: the web page runs it.
namespace GlslEs {

// The stage as GLSL ES, its version line found by the one rule
// (StageVersion); a stage without one is given one, its lines still counted
// as the maker's.
std::string fromDesktop(const std::string &stage);

} // namespace GlslEs

#endif // GLSLES_H
