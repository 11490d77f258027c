#include "IniFile.h"

#include <algorithm>
#include <cctype>

namespace xrsim {

std::string Trim(const std::string &text)
{
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// A comment starts at ';' or '#' at the start of the line or after a blank,
// so a value like "a#b" keeps its '#'.
static std::string StripComment(const std::string &line)
{
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != ';' && line[i] != '#')
            continue;
        if (i == 0 || std::isspace(static_cast<unsigned char>(line[i - 1])))
            return line.substr(0, i);
    }
    return line;
}

CIniFile CIniFile::Parse(const std::string &text)
{
    CIniFile file;
    std::string section;
    int number = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        ++number;
        file.ParseLine(text.substr(start, end - start), number, section);
        start = end + 1;
    }
    return file;
}

void CIniFile::ParseLine(const std::string &raw, int number, std::string &section)
{
    if (raw.find('\0') != std::string::npos) {
        m_problems.push_back({number, "contains a zero byte; line ignored"});
        return;
    }
    const std::string line = Trim(StripComment(raw));
    if (line.empty())
        return;
    if (line.front() == '[') {
        if (line.back() != ']') {
            m_problems.push_back({number, "section header without ']': \"" + line + "\""});
            section.assign(1, '?');  // keys up to the next good header are ignored
            return;
        }
        section = Lower(Trim(line.substr(1, line.size() - 2)));
        return;
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos) {
        m_problems.push_back({number, "not a key=value line: \"" + line + "\""});
        return;
    }
    CIniEntry entry;
    entry.section = section;
    entry.key = Lower(Trim(line.substr(0, equals)));
    entry.value = Trim(line.substr(equals + 1));
    entry.line = number;
    if (entry.key.empty()) {
        m_problems.push_back({number, "key missing before '='"});
        return;
    }
    m_entries.push_back(entry);
}

} // namespace xrsim
