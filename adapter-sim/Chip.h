#pragma once

// The chip in the socket as the firmware sees it: it answers the chip
// commands and keeps what the host programs. The adapter itself handles the
// commands that never reach a chip (identification, set target, status).

#include "Packet.h"
#include "Reply.h"
#include "Trace.h"

#include <memory>

namespace xrsim {

struct CCommandResult
{
    std::unique_ptr<CReply> reply;
    std::unique_ptr<CDataSink> sink;
};

class CChip
{
public:
    explicit CChip(CStats &stats) : m_stats(stats) {}
    virtual ~CChip() = default;
    CChip(const CChip &) = delete;
    CChip &operator=(const CChip &) = delete;

    // False when the chip's firmware has no such command.
    virtual bool Command(const CPacket &packet, CCommandResult &result) = 0;
    virtual bool Seated() const { return true; }
    // The firmware image index, or the algorithm byte of a set-target
    // packet: which kind of part the firmware drives.
    virtual void SelectAlgorithm(int index) { (void)index; }
    // The adapter is closed: the part is left as a board expects to find
    // it at its next power-up or reset.
    virtual void Release() {}

    // A program that went wrong shows in the next "program finished" reply.
    void NoteProgramFailure()
    {
        m_programFailed = true;
        ++m_stats.programFailures;
    }
    void NoteIncompleteProgram()
    {
        m_programFailed = true;
        ++m_stats.incompletePrograms;
    }
    CStats &Stats() { return m_stats; }

protected:
    // 0x32: `00 00` when every program since the last one went through.
    std::unique_ptr<CReply> ProgramDoneReply();

    CStats &m_stats;

private:
    bool m_programFailed = false;
};

// No top module, or a chip whose image could not be opened: the firmware
// clocks an empty socket, so IDs read 0xFF and nothing can be changed.
class CEmptySocket : public CChip
{
public:
    using CChip::CChip;
    bool Command(const CPacket &packet, CCommandResult &result) override;
    bool Seated() const override { return false; }
};

} // namespace xrsim
