// Any bytes as a stage's text, made GLSL ES as the web page makes every
// stage it loads: the rule must not crash, the result starts with the ES
// version line and its precisions, and after the #line that follows them
// come the maker's lines unchanged from the line it names on (the first, or
// the one after the version line that the ES one replaces, with only blank
// lines and comments before it).

#include "fuzzcheck.h"
#include "glsles.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string stage(reinterpret_cast<const char *>(data), size);
    const std::string es = GlslEs::fromDesktop(stage);

    const std::string version = "#version 300 es\n";
    if (es.compare(0, version.size(), version) != 0)
        fuzzFail("fuzz_glsles: the result does not start with the ES version line", size);

    // The #line directive, and what follows it.
    const std::size_t line = es.find("\n#line ");
    if (line == std::string::npos)
        fuzzFail("fuzz_glsles: the result has no #line", size);
    const std::size_t numberAt = line + 7;
    const std::size_t end = es.find('\n', numberAt);
    if (end == std::string::npos)
        fuzzFail("fuzz_glsles: the #line has no end", size);
    const long first = std::strtol(es.c_str() + numberAt, nullptr, 10);
    if (first < 1 || std::size_t(first) > size + 1)
        fuzzFail("fuzz_glsles: the #line names no line of the maker's", size);
    const std::string rest = es.substr(end + 1);

    // The maker's text from that line on, counted in the maker's file.
    std::size_t from = 0;
    for (long taken = 1; taken < first; ++taken) {
        from = stage.find('\n', from);
        from = from == std::string::npos ? stage.size() : from + 1;
    }
    if (rest != stage.substr(from))
        fuzzFail("fuzz_glsles: the maker's lines do not follow the #line unchanged", size);
    // Only a version line is taken away.
    if (first > 1 && stage.substr(0, from).find("version") == std::string::npos)
        fuzzFail("fuzz_glsles: lines that hold no version line were taken away", size);
    return 0;
}
