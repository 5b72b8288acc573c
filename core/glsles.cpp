#include "glsles.h"

namespace GlslEs {

namespace {

const char *const header = "#version 300 es\n"
                           "precision highp float;\n"
                           "precision highp int;\n"
                           "precision highp sampler2D;\n";

bool isVersionLine(const std::string &line)
{
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line.compare(first, 1, "#") != 0)
        return false;
    // "#" and blanks alone is a directive that does nothing, not a version line.
    const std::size_t word = line.find_first_not_of(" \t", first + 1);
    return word != std::string::npos && line.compare(word, 7, "version") == 0;
}

} // namespace

std::string fromDesktop(const std::string &stage)
{
    const std::size_t endOfFirstLine = stage.find('\n');
    const std::string firstLine = stage.substr(0, endOfFirstLine);
    if (!isVersionLine(firstLine))
        return header + std::string("#line 1\n") + stage;
    const std::string rest = endOfFirstLine == std::string::npos ? std::string() : stage.substr(endOfFirstLine + 1);
    return header + std::string("#line 2\n") + rest;
}

} // namespace GlslEs
