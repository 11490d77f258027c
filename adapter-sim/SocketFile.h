#pragma once

// The socket file: a file, named by the configuration, that says what sits
// in the socket while the adapter runs, so a test or a demo can seat, swap
// and pull chips as an operator on a production line does. A missing or
// blank file is an empty socket; any other text holds [nand] or [spi] lines
// that go on top of the configuration's own chip sections.

#include <chrono>
#include <optional>
#include <string>

namespace xrsim {

class CSocketFile
{
public:
    explicit CSocketFile(std::string path) : m_path(std::move(path)) {}

    bool Configured() const { return !m_path.empty(); }
    const std::string &Path() const { return m_path; }
    // The file's text when it changed since the last call (the first call
    // always reports it), else nothing. A missing file reads as blank.
    std::optional<std::string> Changed();

    static bool Blank(const std::string &text);

private:
    std::string m_path;
    std::string m_stamp;  // modification time, size and inode last seen
    std::string m_text;
    bool m_read = false;
    std::chrono::steady_clock::time_point m_lastRead{};
};

} // namespace xrsim
