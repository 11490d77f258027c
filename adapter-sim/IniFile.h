#pragma once

// A small INI reader: [section] lines, key=value lines, comments starting
// with ';' or '#' (at the start of a line or after a blank inside it).
// Lines it cannot read are reported as problems, never thrown.

#include <string>
#include <vector>

namespace xrsim {

struct CIniEntry
{
    std::string section;  // lower case
    std::string key;      // lower case
    std::string value;    // trimmed, comment removed
    int line = 0;
};

struct CIniProblem
{
    int line = 0;
    std::string text;
};

class CIniFile
{
public:
    static CIniFile Parse(const std::string &text);

    const std::vector<CIniEntry> &Entries() const { return m_entries; }
    const std::vector<CIniProblem> &Problems() const { return m_problems; }

private:
    void ParseLine(const std::string &line, int number, std::string &section);

    std::vector<CIniEntry> m_entries;
    std::vector<CIniProblem> m_problems;
};

std::string Trim(const std::string &text);
std::string Lower(std::string text);

} // namespace xrsim
