#include "SocketFile.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace xrsim {

namespace {

// A file rewritten within one tick of the file system's clock may keep its
// time stamp: its text is read again after this long whatever the stamp says.
constexpr auto RereadAfter = std::chrono::milliseconds(100);

std::string StampOf(const std::string &path)
{
    struct stat info{};
    if (::stat(path.c_str(), &info) != 0)
        return "missing";
    return std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec) + ":" +
           std::to_string(info.st_size) + ":" + std::to_string(info.st_ino);
}

std::string TextOf(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

} // namespace

std::optional<std::string> CSocketFile::Changed()
{
    if (m_path.empty())
        return std::nullopt;
    const auto now = std::chrono::steady_clock::now();
    const std::string stamp = StampOf(m_path);
    if (m_read && stamp == m_stamp && now - m_lastRead < RereadAfter)
        return std::nullopt;
    m_stamp = stamp;
    m_lastRead = now;
    std::string text = TextOf(m_path);
    if (m_read && text == m_text)
        return std::nullopt;
    m_read = true;
    m_text = text;
    return text;
}

bool CSocketFile::Blank(const std::string &text)
{
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c) != 0; });
}

} // namespace xrsim
