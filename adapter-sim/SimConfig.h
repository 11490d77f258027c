#pragma once

// The simulator's configuration: what adapter is plugged in, which top module
// it carries and which chip sits in the socket. Every field starts at its
// built-in default; the INI reader only replaces values it could read.

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace xrsim {

enum class EModule { Nand, Spi, None };
enum class ESpiKind { Flash, At45, Eeprom };

struct CAdapterConfig
{
    bool present = true;
    EModule module = EModule::Nand;
    int nandImage = 2;
    uint32_t serial = 0x00A5C3;  // low 24 bits; the top byte names the module
    uint32_t packetSize = 512;
    double linkMbps = 0;
    uint32_t reenumerateMs = 300;
    uint64_t unplugAfterCommands = 0;
    uint64_t pullAtProgram = 0;  // the Nth program command of a seated chip finds the socket empty; 0 = never
    uint32_t replugMs = 2000;
    bool failFirmware = false;
    bool rejectSetTarget = false;
    uint64_t replyFailEvery = 0;
    std::string trace;
    std::string stats;
    std::string socket;  // file that says what sits in the socket now; empty = the chip below, for good
    std::string programmer;  // which programmer the library drives; empty: the simulated one
};

struct CWeakBit
{
    uint64_t offset = 0;
    int bit = 0;
};

struct CNandConfig
{
    std::vector<uint8_t> id{0xEC, 0xF1, 0x00, 0x95, 0x41, 0x00};
    uint32_t pageSize = 2112;
    uint32_t pagesPerBlock = 64;
    uint32_t blocks = 1024;  // per chip enable
    uint32_t chipEnables = 1;
    bool onfi = false;
    std::string onfiManufacturer = "SIMULATED";
    std::string onfiModel = "SIMNAND1G";
    std::vector<uint64_t> badBlocks{37, 811};   // chip-wide block numbers
    std::map<uint64_t, uint32_t> wornBlocks;    // block -> failing erase number
    double bitflipsPerMib = 0;
    std::vector<CWeakBit> weakBits;             // sorted by offset
    uint64_t seed = 1;
    std::string image;
};

struct CSpiConfig
{
    static constexpr uint32_t NoWornPage = 0xFFFFFFFFu;
    ESpiKind kind = ESpiKind::Flash;
    std::array<uint8_t, 3> id{0xEF, 0x40, 0x18};
    uint64_t size = 0x1000000;
    uint32_t pageSize = 256;
    bool sfdp = true;
    uint64_t blockErase = 0x10000;  // what 0xD8 erases
    bool smallErases = true;        // 0x20 (4 KiB) and 0x52 (32 KiB) exist
    bool byteProgram = false;       // 0x02 programs one byte, whatever follows
    bool protect = false;           // block protect bits set at power-up
    uint32_t busyPolls = 2;         // status reads a page program stays busy
    uint32_t wornPage = NoWornPage;  // a page whose cells no longer take a program
    std::string image;
};

struct CSimConfig
{
    CAdapterConfig adapter;
    CNandConfig nand;
    CSpiConfig spi;
    std::string source;  // the INI file read, empty for built-in defaults
    std::string text;    // the INI text read, which a socket file's chip sections go on top of
    std::string baseDir; // relative paths are taken from here
};

// Reads an INI text. Every problem is reported once on stderr (named after
// `source`) and the affected value keeps its default; relative paths are
// taken from `baseDir`.
CSimConfig ParseConfig(const std::string &text, const std::string &source, const std::string &baseDir);

// Chip size in bytes, spare areas included.
uint64_t NandChipBytes(const CNandConfig &nand);

} // namespace xrsim
