#ifndef STAGEVERSION_H
#define STAGEVERSION_H

#include <string>

// Where a stage's #version line is, the one rule for every GL that takes the
// show's stages (the desktop's and the browser's). As GLSL has it, the
// version line is the stage's first token: blank lines and comments may come
// before it, nothing else. A stage is handed to a GL with its version line
// first, then whatever the GL needs of its own, then a #line that numbers
// the rest as the maker's file does, so the compiler's messages name the
// maker's lines. Plain C++: the web page runs it.
namespace StageVersion {

struct Line
{
    bool found = false;
    std::string text;           // the directive as written, without its line end
    int number = 0;             // its line in the maker's file, from 1
    std::size_t restBegins = 0; // where the text after its line begins
};

// The stage's version line, when its first token is one.
Line find(const std::string &stage);

// The stage as a desktop GL takes it: the version line first (what came
// before it held only comments), the rest numbered as in the maker's file.
// A stage without a version line is left as it is, for the GL to refuse.
std::string forDesktop(const std::string &stage);

// The stage with its version line replaced by `header` (whole lines: a
// version line of its own and what follows it). A stage without a version
// line is given the header in front of its own first line.
std::string withHeader(const std::string &stage, const std::string &header);

} // namespace StageVersion

#endif // STAGEVERSION_H
