#include "Chip.h"

namespace xrsim {

std::unique_ptr<CReply> CChip::ProgramDoneReply()
{
    const bool ok = !m_programFailed;
    m_programFailed = false;
    return std::make_unique<CBytesReply>(StatusReply(ok));
}

namespace {

// Reply sizes the host asks for: the longest ID and parameter data.
constexpr size_t IdBytes = 6;
constexpr size_t ParameterBytes = 2048;

// A sink that swallows program data nobody will store.
class CDiscardSink : public CDataSink
{
public:
    void Write(const uint8_t *, size_t) override {}
    void Finish() override {}
};

} // namespace

bool CEmptySocket::Command(const CPacket &packet, CCommandResult &result)
{
    switch (packet.Code()) {
    case cmd::ReadId:
        result.reply = std::make_unique<CBytesReply>(std::vector<uint8_t>(IdBytes, 0xFF));
        return true;
    case cmd::ReadParameterPage:
        result.reply = std::make_unique<CBytesReply>(std::vector<uint8_t>(), ParameterBytes);
        return true;
    case cmd::At45Status:
        result.reply = std::make_unique<CBytesReply>(std::vector<uint8_t>{0xFF});
        return true;
    case cmd::MarkerRead:
        result.reply = std::make_unique<CBytesReply>(std::vector<uint8_t>(), packet.LE(nandpkt::MarkerLength, 4));
        return true;
    case cmd::Erase:
        ++m_stats.eraseFailures;
        result.reply = std::make_unique<CBytesReply>(StatusReply(false));
        return true;
    case cmd::Program:
        NoteProgramFailure();
        result.sink = std::make_unique<CDiscardSink>();
        return true;
    case cmd::ProgramDone:
        result.reply = ProgramDoneReply();
        return true;
    case cmd::Read:  // array reads of an empty socket are never answered
    case cmd::SelectChip:
    case cmd::NandPins:
    case cmd::SpiConfigure:
        return true;
    default:
        return false;
    }
}

} // namespace xrsim
