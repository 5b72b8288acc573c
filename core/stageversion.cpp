#include "stageversion.h"

#include <algorithm>

namespace StageVersion {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// The position of the stage's first token: past blanks and comments. npos
// when a comment never ends or nothing but blanks and comments is there.
std::size_t firstToken(const std::string &stage)
{
    std::size_t at = 0;
    while (at < stage.size()) {
        if (isBlank(stage[at])) {
            ++at;
        } else if (stage.compare(at, 2, "//") == 0) {
            at = stage.find('\n', at);
        } else if (stage.compare(at, 2, "/*") == 0) {
            const std::size_t end = stage.find("*/", at + 2);
            at = end == std::string::npos ? end : end + 2;
        } else {
            return at;
        }
    }
    return std::string::npos;
}

std::string numbered(int line)
{
    return "#line " + std::to_string(line) + "\n";
}

} // namespace

Line find(const std::string &stage)
{
    Line line;
    const std::size_t hash = firstToken(stage);
    if (hash == std::string::npos || stage[hash] != '#')
        return line;
    std::size_t word = hash + 1;
    while (word < stage.size() && (stage[word] == ' ' || stage[word] == '\t'))
        ++word;
    const std::size_t wordEnd = word + 7;
    if (stage.compare(word, 7, "version") != 0 || (wordEnd < stage.size() && !isBlank(stage[wordEnd])))
        return line;

    const std::size_t end = stage.find('\n', hash);
    line.found = true;
    line.text = stage.substr(hash, (end == std::string::npos ? stage.size() : end) - hash);
    if (!line.text.empty() && line.text.back() == '\r')
        line.text.pop_back();
    line.number = 1 + int(std::count(stage.begin(), stage.begin() + std::ptrdiff_t(hash), '\n'));
    line.restBegins = end == std::string::npos ? stage.size() : end + 1;
    return line;
}

std::string forDesktop(const std::string &stage)
{
    const Line version = find(stage);
    if (!version.found)
        return stage;
    return withHeader(stage, version.text + "\n");
}

std::string withHeader(const std::string &stage, const std::string &header)
{
    const Line version = find(stage);
    if (!version.found)
        return header + numbered(1) + stage;
    return header + numbered(version.number + 1) + stage.substr(version.restBegins);
}

} // namespace StageVersion
