#include "Trace.h"
#include "SimLog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace xrsim {

CTrace::CTrace(const std::string &path)
{
    if (path.empty())
        return;
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (m_fd < 0)
        Warn("cannot open the trace file " + path + ": " + std::strerror(errno) + "; no trace is written");
}

CTrace::~CTrace()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

// One write per line with O_APPEND: a test reading the file meanwhile never
// sees half a line, and nothing waits in a buffer when the host crashes.
void CTrace::Line(const std::string &text)
{
    if (m_fd < 0)
        return;
    const std::string line = text + "\n";
    size_t done = 0;
    while (done < line.size()) {
        const ssize_t put = ::write(m_fd, line.data() + done, line.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return;
        done += size_t(put);
    }
}

void CTrace::Command(const uint8_t *bytes, size_t count)
{
    if (m_fd < 0)
        return;
    std::string text = "CMD";
    char hex[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
        text += hex;
    }
    Line(text);
}

void CTrace::Data(int32_t length) { Line("DATA " + std::to_string(length)); }

void CTrace::Read(int32_t pipe, int32_t length) { Line("READ " + std::to_string(pipe) + " " + std::to_string(length)); }

void CTrace::Firmware(int kind, int index, int mode, int32_t result)
{
    const auto field = [](int value) { return value < 0 ? std::string("-") : std::to_string(value); };
    Line("FW " + field(kind) + " " + field(index) + " " + std::to_string(mode) + " " + std::to_string(result));
}

void CTrace::Open(int32_t result) { Line("OPEN " + std::to_string(result)); }

void CTrace::Close() { Line("CLOSE"); }

bool CStats::WriteTo(const std::string &path) const
{
    if (path.empty())
        return true;
    const std::pair<const char *, uint64_t> counters[] = {
        {"commands", commands},
        {"unknown_commands", unknownCommands},
        {"malformed_commands", malformedCommands},
        {"opcode_errors", opcodeErrors},
        {"bytes_read", bytesRead},
        {"bytes_programmed", bytesProgrammed},
        {"pages_programmed", pagesProgrammed},
        {"programs_not_erased", programsNotErased},
        {"program_failures", programFailures},
        {"incomplete_programs", incompletePrograms},
        {"erases", erases},
        {"erase_failures", eraseFailures},
        {"status_timeouts", statusTimeouts},
        {"commands_while_busy", commandsWhileBusy},
        {"protected_writes", protectedWrites},
        {"bitflips", bitflips},
        {"reply_failures", replyFailures},
        {"discarded_reply_bytes", discardedReplyBytes},
        {"stray_data_bytes", strayDataBytes},
        {"rejected_transfers", rejectedTransfers},
        {"empty_reads", emptyReads},
        {"invalid_calls", invalidCalls},
        {"firmware_loads", firmwareLoads},
    };
    std::string text;
    for (const auto &[name, value] : counters)
        text += std::string(name) + "=" + std::to_string(value) + "\n";
    // Written beside and renamed, so a reader never sees a half-written file.
    const std::string temporary = path + ".tmp";
    FILE *file = std::fopen(temporary.c_str(), "w");
    if (!file) {
        Warn("cannot write the stats file " + path + ": " + std::strerror(errno));
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        Warn("cannot write the stats file " + path);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace xrsim
