#include "stagelog.h"

#include <regex>
#include <sstream>

namespace {

struct Form
{
    std::regex pattern;
    int line;
    int column; // 0: none
    int text;
    int kind;   // 0: the text says it
};

// Mesa "0:42(7): error: ...", NVIDIA "0(42) : error C0000: ...", others and
// the browsers "ERROR: 0:42: ...". The first number is the source string,
// always 0 here.
const Form forms[] = {
    {std::regex(R"(^\d+:(\d+)\((\d+)\):\s*(.*)$)"), 1, 2, 3, 0},
    {std::regex(R"(^\d+\((\d+)\)\s*:\s*(.*)$)"), 1, 0, 2, 0},
    {std::regex(R"(^(ERROR|WARNING):\s*\d+:(\d+):\s*(.*)$)"), 2, 0, 3, 1},
};

std::string trimmed(const std::string &text)
{
    const char *const space = " \t\r\n\v\f";
    const std::size_t first = text.find_first_not_of(space);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

std::string lower(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

} // namespace

namespace StageLog {

std::vector<std::string> messages(const std::string &log, const std::string &file)
{
    std::vector<std::string> messages;
    std::istringstream lines(log);
    for (std::string raw; std::getline(lines, raw);) {
        const std::string line = trimmed(raw);
        if (line.empty())
            continue;
        std::string message = file + ": " + line;
        for (const Form &form : forms) {
            std::smatch match;
            if (!std::regex_match(line, match, form.pattern))
                continue;
            std::string place = file + ':' + match.str(std::size_t(form.line));
            if (form.column)
                place += ':' + match.str(std::size_t(form.column));
            std::string text = match.str(std::size_t(form.text));
            if (form.kind)
                text = lower(match.str(std::size_t(form.kind))) + ": " + text;
            message = place + ": " + text;
            break;
        }
        messages.push_back(message);
    }
    return messages;
}

} // namespace StageLog
