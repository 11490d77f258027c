#pragma once

// The record an end-to-end test reads back: a trace line per library call
// and, on close, the counters of what reached the chip.

#include <cstdint>
#include <string>

namespace xrsim {

class CTrace
{
public:
    explicit CTrace(const std::string &path);
    ~CTrace();
    CTrace(const CTrace &) = delete;
    CTrace &operator=(const CTrace &) = delete;

    bool Enabled() const { return m_fd >= 0; }
    void Command(const uint8_t *bytes, size_t count);  // CMD 27 04 00 ...
    void Data(int32_t length);                          // DATA <len>
    void Read(int32_t pipe, int32_t length);            // READ <pipe> <len>
    void Firmware(int kind, int index, int mode, int32_t result);  // FW ...; -1 prints "-"
    void Open(int32_t result);
    void Close();

private:
    void Line(const std::string &text);

    int m_fd = -1;
};

struct CStats
{
    uint64_t commands = 0;
    uint64_t unknownCommands = 0;
    uint64_t malformedCommands = 0;
    uint64_t opcodeErrors = 0;
    uint64_t bytesRead = 0;
    uint64_t bytesProgrammed = 0;
    uint64_t pagesProgrammed = 0;
    uint64_t programsNotErased = 0;
    uint64_t programFailures = 0;
    uint64_t incompletePrograms = 0;
    uint64_t erases = 0;
    uint64_t eraseFailures = 0;
    uint64_t statusTimeouts = 0;
    uint64_t commandsWhileBusy = 0;   // SPI instructions a busy part ignored
    uint64_t protectedWrites = 0;     // programs and erases refused by the protect bits
    uint64_t bitflips = 0;
    uint64_t replyFailures = 0;
    uint64_t discardedReplyBytes = 0;
    uint64_t strayDataBytes = 0;
    uint64_t rejectedTransfers = 0;
    uint64_t emptyReads = 0;
    uint64_t invalidCalls = 0;
    uint64_t firmwareLoads = 0;

    // Writes "name=value" lines, replacing the file.
    bool WriteTo(const std::string &path) const;
};

} // namespace xrsim
