#pragma once

// The adapter's command protocol as data: command codes, reply tags, pipes,
// byte-order helpers and the builders of the packets the worker base sends.
// Lengths and NAND addresses travel little-endian, SPI addresses big-endian.
// The chip engines add their own builders next to their algorithms.

#include <cstdint>

namespace Adapter {

// --- pipes of the adapter library
constexpr int32_t CommandPipe = 0;    // command packets
constexpr int32_t DataPipe = 1;       // bulk program data after Cmd::Program
constexpr int32_t ShortReplyPipe = 2; // short replies without an address
constexpr uint32_t ShortReplyMax = 47; // longest reply read on the short pipe

// --- command codes, the first byte of every packet
namespace Cmd {
constexpr uint8_t SetTarget = 0x10;
constexpr uint8_t Status = 0x12;
constexpr uint8_t ReadAdapterId = 0x18;
constexpr uint8_t Erase = 0x1B;
constexpr uint8_t Program = 0x1C;
constexpr uint8_t Param = 0x1D;
constexpr uint8_t Read = 0x27;
constexpr uint8_t ReadId = 0x29;
constexpr uint8_t ReadParamPage = 0x2A;
constexpr uint8_t Sleep = 0x2E;  // local: handled by the worker, never sent
constexpr uint8_t Timing = 0x30;
constexpr uint8_t At45Status = 0x31;
constexpr uint8_t ProgramFinished = 0x32;
constexpr uint8_t EndOperation = 0x33;
constexpr uint8_t SpiConfig = 0x34;
constexpr uint8_t PinConfig = 0x35;
constexpr uint8_t SelectChip = 0x36;
constexpr uint8_t MarkerRead = 0x37;
constexpr uint8_t Marker = 0x38; // local: handled by the worker, never sent
} // namespace Cmd

// --- reply and marker tags
namespace Tag {
constexpr uint8_t ReadData = 'A';
constexpr uint8_t VerifyData = 'B';
constexpr uint8_t Status = 'C';
constexpr uint8_t ProgramDone = 'D'; // also the tag of data jobs
constexpr uint8_t ChunkProgrammed = 'E'; // the program status after one program command
constexpr uint8_t ProgramPreRead = 'V';  // SPI: the range read before a program, to find what needs an erase
constexpr uint8_t BlockErased = 'G';
constexpr uint8_t DetectId = 'H';
constexpr uint8_t AdapterId = 'I';
constexpr uint8_t TargetSet = 'J';
constexpr uint8_t BlankData = 'K';
constexpr uint8_t ParamPage = 'L';
constexpr uint8_t At45Status = 'M';
constexpr uint8_t BadBlockMarker = 'N';
constexpr uint8_t ReadOpId = 'O';
constexpr uint8_t EraseOpId = 'P';
constexpr uint8_t ProgramOpId = 'Q';
constexpr uint8_t SmartCopyStep = 'R';
constexpr uint8_t SourceScanStep = 'T';
constexpr uint8_t ChipProbe = 'W'; // an ID read outside any operation: is a chip seated?
} // namespace Tag

// Firmware type codes the adapter identification reports.
constexpr uint32_t MatchingFirmware = 0x170640DD;
constexpr uint32_t OtherNandFirmware = 0xDD400617;

// Chip families in the set-target packet.
constexpr uint8_t FamilyNand = 0;
constexpr uint8_t FamilySpi = 1;

// --- byte order
inline void PutLE16(uint8_t *p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void PutLE32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
inline void PutBE16(uint8_t *p, uint16_t v)
{
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
inline void PutBE24(uint8_t *p, uint32_t v)
{
    p[0] = uint8_t(v >> 16);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v);
}
inline void PutBE32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * (3 - i)));
}
// Little-endian value of count bytes (1 to 4).
inline uint32_t GetLE(const uint8_t *p, int count)
{
    uint32_t v = 0;
    for (int i = count - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

// One command packet: up to 100 bytes, of which the first length are sent.
struct CPacket
{
    static constexpr int MaxLength = 100;
    uint8_t bytes[MaxLength] = {};
    int32_t length = 0;
};

// {0x2E, ms high, ms low}, 10 bytes; the worker sleeps that long.
CPacket SleepPacket(uint16_t milliseconds);
// {0x38}, 1 byte; the worker answers it with a marker message.
CPacket MarkerPacket();
// {0x36, n}, 2 bytes.
CPacket SelectChipPacket(uint8_t chipEnable);
// {0x33, 0x00}, 2 bytes.
CPacket EndOperationPacket();
// {0x1D, value}, 2 bytes.
CPacket ParamPacket(uint8_t value);
// {0x12}, 1 byte: the keep-alive status query.
CPacket StatusPacket();
// {0x18, 0x00, 0x02, 0x00, 0x0A, 0, 0, 0, 0}, 9 bytes.
CPacket ReadAdapterIdPacket();

// Everything that goes into the 10-byte set-target packet.
struct CTargetSetup
{
    uint8_t adapterKind = 0;   // from the adapter identification
    uint8_t family = FamilyNand;
    bool highSpeedLink = false; // the bulk packet size is 512
    uint8_t spiAlgorithm = 0;   // SPI: 0 to 4; larger values are sent as 0
    uint8_t columnBytes = 0;    // NAND address cycles
    uint8_t rowBytes = 0;
};
CPacket SetTargetPacket(const CTargetSetup &setup);

// Reply lengths of the packets above.
constexpr uint32_t AdapterIdReplyLength = 8;
constexpr uint32_t SetTargetReplyLength = 2;
constexpr uint32_t StatusReplyLength = 2;

} // namespace Adapter
