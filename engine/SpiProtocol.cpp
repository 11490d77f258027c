#include "SpiProtocol.h"

#include "DeviceItemSPIFlash.h"

#include <algorithm>
#include <initializer_list>

namespace Adapter::Spi {

namespace {

// Field positions.
constexpr int ReadOpcode = 1;
constexpr int ReadAddressBytes = 2;
constexpr int ReadAddress = 3;
constexpr int ReadLength = 7;
constexpr int ReadMode = 15;
constexpr int EraseWriteEnable = 1;
constexpr int EraseOpcode = 2;
constexpr int EraseAddressBytes = 3;
constexpr int EraseAddress = 4;
constexpr int EraseStatus = 8;
constexpr int ProgramOpcode = 1;
constexpr int ProgramAddressBytes = 2;
constexpr int ProgramAddress = 3;
constexpr int ProgramCount = 10;
constexpr int ProgramMode = 15;
constexpr int ProgramStatus = 16;
constexpr int ConfigRecordCount = 2;
constexpr int ConfigRecords = 3;

// Speed table: base cycle counts by data lines, the index bands.
constexpr int SingleLineCycles = 14;
constexpr int DualLineCycles = 6;
constexpr int QuadLineCycles = 2;
constexpr int SlowestIndex = 0;
constexpr int FastestIndex = 10;
constexpr uint8_t TimingClockField = 0x20;
constexpr uint8_t TimingConstant = 0x01;
constexpr uint8_t TimingCycleField = 0x21;

CPacket Packet(int32_t length, std::initializer_list<uint8_t> leading)
{
    CPacket packet;
    packet.length = length;
    int i = 0;
    for (uint8_t byte : leading)
        packet.bytes[i++] = byte;
    return packet;
}

void PutPoll(uint8_t *destination, const CStatusPoll &poll)
{
    destination[0] = poll.opcode;
    destination[1] = poll.busyMask;
    destination[2] = poll.readyValue;
}

int ClampAddressBytes(int count)
{
    return std::clamp(count, 1, MaxAddressBytes);
}

} // namespace

CPacket ReadIdPacket(int32_t length)
{
    return Packet(length, {Cmd::ReadId, OpReadJedecId});
}

CPacket PlainReadIdPacket()
{
    return Packet(ShortPacketLength, {Cmd::ReadId});
}

CPacket At45StatusPacket()
{
    return Packet(LongPacketLength, {Cmd::At45Status, 0x01, OpAt45Status, uint8_t(At45StatusReplyLength)});
}

CPacket SfdpPacket()
{
    return Packet(6, {Cmd::ReadParamPage, 0x00});
}

CPacket ProgramDonePacket()
{
    return Packet(1, {Cmd::ProgramFinished});
}

void PutAddress(uint8_t *destination, uint32_t address, int count)
{
    count = ClampAddressBytes(count);
    for (int i = 0; i < count; ++i)
        destination[i] = uint8_t(address >> (8 * (count - 1 - i)));
}

CPacket ReadPacket(uint8_t opcode, int addressBytes, uint32_t address, uint32_t replyLength, uint8_t mode)
{
    CPacket packet = Packet(ArrayPacketLength, {Cmd::Read});
    packet.bytes[ReadOpcode] = opcode;
    packet.bytes[ReadAddressBytes] = uint8_t(ClampAddressBytes(addressBytes));
    PutAddress(packet.bytes + ReadAddress, address, addressBytes);
    PutLE32(packet.bytes + ReadLength, replyLength);
    packet.bytes[ReadMode] = mode;
    return packet;
}

CStatusPoll StatusPollOf(const CDeviceItemSPIFlash &device)
{
    return {device.m_opStatus, device.m_busyMask, device.m_readyValue};
}

CPacket ErasePacket(uint8_t opcode, int addressBytes, uint32_t address, const CStatusPoll &poll)
{
    CPacket packet = Packet(ArrayPacketLength, {Cmd::Erase});
    packet.bytes[EraseWriteEnable] = OpWriteEnable;
    packet.bytes[EraseOpcode] = opcode;
    packet.bytes[EraseAddressBytes] = uint8_t(ClampAddressBytes(addressBytes));
    PutAddress(packet.bytes + EraseAddress, address, addressBytes);
    PutPoll(packet.bytes + EraseStatus, poll);
    return packet;
}

void PutCarriedCount(uint8_t *destination, uint32_t count)
{
    const uint8_t low = uint8_t(count & 0xFF);
    destination[0] = low;
    destination[1] = uint8_t((count >> 8) + (low != 0 ? 1 : 0));
}

CPacket ProgramPacket(uint8_t opcode, int addressBytes, uint32_t address, uint32_t count, uint8_t modeOrPage,
                      const CStatusPoll &poll)
{
    CPacket packet = Packet(ArrayPacketLength, {Cmd::Program});
    packet.bytes[ProgramOpcode] = opcode;
    packet.bytes[ProgramAddressBytes] = uint8_t(ClampAddressBytes(addressBytes));
    PutAddress(packet.bytes + ProgramAddress, address, addressBytes);
    PutCarriedCount(packet.bytes + ProgramCount, count);
    packet.bytes[ProgramMode] = modeOrPage;
    PutPoll(packet.bytes + ProgramStatus, poll);
    return packet;
}

CSpiTiming TimingFor(int speedIndex, int ioMode, bool singleLine)
{
    const int index = std::clamp(speedIndex, SlowestIndex, FastestIndex);
    int c = SingleLineCycles;
    if (!singleLine && ioMode == 2)
        c = DualLineCycles;
    else if (!singleLine && ioMode == 4)
        c = QuadLineCycles;
    CSpiTiming timing;
    if (index >= 3 && index <= 5) {
        timing.mode = 1;
        c = 2 * c + 2;
        timing.divider = 5 - index / 2;
    } else if (index >= 6) {
        timing.divider = 10 - index;
    } else if (ioMode == 4) {
        timing.mode = 1;
        c = 2 * c + 2;
        timing.divider = 5 - index / 2;
    } else {
        timing.mode = 2;
        c = 4 * c + 2;
        timing.divider = 2 - index / 4;
    }
    timing.cycles = c + timing.divider;
    return timing;
}

CPacket TimingPacket(const CSpiTiming &timing)
{
    const uint8_t d = uint8_t(timing.divider + 1);
    const uint8_t c = uint8_t(timing.cycles);
    return Packet(ShortPacketLength, {Cmd::Timing, 0x00, d, TimingClockField, d, TimingConstant, c, TimingCycleField, c,
                                      timing.mode});
}

CPacket ConfigurePacket(const CDeviceItemSPIFlash &device)
{
    CPacket packet = Packet(LongPacketLength, {Cmd::SpiConfig, OpReadJedecId});
    const int records = std::clamp(device.m_initCount, 0, int(CDeviceItemSPIFlash::MAX_INIT_RECORDS));
    packet.bytes[ConfigRecordCount] = uint8_t(records);
    int at = ConfigRecords;
    for (int r = 0; r < records; ++r) {
        const uint8_t *record = device.m_init[r];
        const int count = std::min<int>(record[CDeviceItemSPIFlash::INIT_COUNT], CDeviceItemSPIFlash::MAX_INIT_DATA);
        packet.bytes[at++] = OpWriteEnable;
        packet.bytes[at++] = record[CDeviceItemSPIFlash::INIT_COMMAND];
        packet.bytes[at++] = uint8_t(count);
        for (int i = 0; i < count; ++i)
            packet.bytes[at++] = record[CDeviceItemSPIFlash::INIT_DATA + i];
    }
    return packet;
}

} // namespace Adapter::Spi
