#include "glsles.h"
#include "stageversion.h"

namespace GlslEs {

std::string fromDesktop(const std::string &stage)
{
    static const std::string header = "#version 300 es\n"
                                      "precision highp float;\n"
                                      "precision highp int;\n"
                                      "precision highp sampler2D;\n";
    return StageVersion::withHeader(stage, header);
}

} // namespace GlslEs
