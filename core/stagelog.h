#ifndef STAGELOG_H
#define STAGELOG_H

#include <string>
#include <vector>

// A GLSL compiler's log as lines that editors and makers read: each message
// with the stage's file name and its line number (and column, where the
// compiler gives one) in front, "shaders/shader.frag:42:7: error: ...".
// Reads the forms of the common GL drivers and of the browsers' WebGL; a
// line of another form keeps its text behind the file name. Empty lines are
// dropped. Plain C++, for the desktop's programs and the web page alike.
namespace StageLog {

std::vector<std::string> messages(const std::string &log, const std::string &file);

} // namespace StageLog

#endif // STAGELOG_H
