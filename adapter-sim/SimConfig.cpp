#include "SimConfig.h"
#include "ConfigValues.h"
#include "IniFile.h"
#include "SimLog.h"
#include "SpiOpcodes.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <set>

namespace xrsim {

namespace {

// One configuration key: where it lives, what it accepts, how it is stored.
struct CKeyRule
{
    const char *section;
    const char *key;
    const char *expected;
    std::function<bool(const std::string &value, CSimConfig &config)> apply;
};

template <typename T>
bool Store(const std::optional<T> &value, T &target)
{
    if (value)
        target = *value;
    return value.has_value();
}

bool StoreUnsigned(const std::string &text, uint64_t min, uint64_t max, uint32_t &target)
{
    const auto value = ParseUnsigned(text, min, max);
    if (value)
        target = uint32_t(*value);
    return value.has_value();
}

bool StoreText(const std::string &text, size_t maxLength, std::string &target)
{
    if (text.size() > maxLength)
        return false;
    for (unsigned char c : text)
        if (c < 0x20 || c > 0x7E)
            return false;
    target = text;
    return true;
}

bool StoreWeakBits(const std::string &text, std::vector<CWeakBit> &target)
{
    const auto pairs = ParsePairList(text);
    if (!pairs)
        return false;
    std::vector<CWeakBit> bits;
    for (const auto &[offset, bit] : *pairs) {
        if (bit > 7)
            return false;
        bits.push_back({offset, int(bit)});
    }
    std::sort(bits.begin(), bits.end(), [](const CWeakBit &a, const CWeakBit &b) { return a.offset < b.offset; });
    target = bits;
    return true;
}

bool StoreWornBlocks(const std::string &text, std::map<uint64_t, uint32_t> &target)
{
    const auto pairs = ParsePairList(text);
    if (!pairs)
        return false;
    std::map<uint64_t, uint32_t> worn;
    for (const auto &[block, erases] : *pairs) {
        if (erases < 1 || erases > 0xFFFFFFFFu)
            return false;
        worn[block] = uint32_t(erases);
    }
    target = worn;
    return true;
}

const std::vector<CKeyRule> &Rules()
{
    static const std::vector<CKeyRule> rules = {
        {"adapter", "present", "true or false (default true)",
         [](const std::string &v, CSimConfig &c) { return Store(ParseBool(v), c.adapter.present); }},
        {"adapter", "module", "nand, spi or none (default nand)",
         [](const std::string &v, CSimConfig &c) {
             const std::string m = Lower(v);
             if (m == "nand")
                 c.adapter.module = EModule::Nand;
             else if (m == "spi")
                 c.adapter.module = EModule::Spi;
             else if (m == "none")
                 c.adapter.module = EModule::None;
             else
                 return false;
             return true;
         }},
        {"adapter", "nand_image", "1 or 2 (default 2)",
         [](const std::string &v, CSimConfig &c) {
             const auto n = ParseUnsigned(v, 1, 2);
             if (n)
                 c.adapter.nandImage = int(*n);
             return n.has_value();
         }},
        {"adapter", "serial", "a number up to 0xFFFFFFFF (default 0x00A5C3)",
         [](const std::string &v, CSimConfig &c) { return StoreUnsigned(v, 0, 0xFFFFFFFFu, c.adapter.serial); }},
        {"adapter", "packet_size", "512 or 64 (default 512)",
         [](const std::string &v, CSimConfig &c) {
             const auto n = ParseUnsigned(v, 64, 512);
             if (!n || (*n != 64 && *n != 512))
                 return false;
             c.adapter.packetSize = uint32_t(*n);
             return true;
         }},
        {"adapter", "link_mbps", "a rate from 0 to 100000 Mbit/s, 0 = unthrottled (default 0)",
         [](const std::string &v, CSimConfig &c) { return Store(ParseReal(v, 0, 100000), c.adapter.linkMbps); }},
        {"adapter", "reenumerate_ms", "milliseconds from 0 to 600000 (default 300)",
         [](const std::string &v, CSimConfig &c) { return StoreUnsigned(v, 0, 600000, c.adapter.reenumerateMs); }},
        {"adapter", "unplug_after_commands", "a command count, 0 = never (default 0)",
         [](const std::string &v, CSimConfig &c) {
             return Store(ParseUnsigned(v, 0, UINT64_MAX), c.adapter.unplugAfterCommands);
         }},
        {"adapter", "pull_at_program", "a program command count, 0 = never (default 0)",
         [](const std::string &v, CSimConfig &c) {
             return Store(ParseUnsigned(v, 0, UINT64_MAX), c.adapter.pullAtProgram);
         }},
        {"adapter", "replug_ms", "milliseconds from 0 to 86400000, 0 = never (default 2000)",
         [](const std::string &v, CSimConfig &c) { return StoreUnsigned(v, 0, 86400000, c.adapter.replugMs); }},
        {"adapter", "fail_firmware", "true or false (default false)",
         [](const std::string &v, CSimConfig &c) { return Store(ParseBool(v), c.adapter.failFirmware); }},
        {"adapter", "reject_set_target", "true or false (default false)",
         [](const std::string &v, CSimConfig &c) { return Store(ParseBool(v), c.adapter.rejectSetTarget); }},
        {"adapter", "reply_fail_every", "a read count, 0 = never (default 0)",
         [](const std::string &v, CSimConfig &c) { return Store(ParseUnsigned(v, 0, UINT64_MAX), c.adapter.replyFailEvery); }},
        {"adapter", "trace", "a file path or nothing",
         [](const std::string &v, CSimConfig &c) { c.adapter.trace = v; return true; }},
        {"adapter", "stats", "a file path or nothing",
         [](const std::string &v, CSimConfig &c) { c.adapter.stats = v; return true; }},
        {"adapter", "socket", "a file path or nothing",
         [](const std::string &v, CSimConfig &c) { c.adapter.socket = v; return true; }},
        // Checked when the adapter is built: a mistyped programmer must fail
        // loudly, never fall back to the simulated adapter.
        {"adapter", "programmer", "sim, serprog:PORT, ch341a or spidev:NODE (default sim)",
         [](const std::string &v, CSimConfig &c) { c.adapter.programmer = v; return true; }},

        {"nand", "id", "1 to 8 hex bytes (default EC F1 00 95 41 00)",
         [](const std::string &v, CSimConfig &c) { return Store(ParseHexBytes(v, 1, 8), c.nand.id); }},
        {"nand", "page_size", "bytes from 256 to 65535 (default 2112)",
         [](const std::string &v, CSimConfig &c) { return StoreUnsigned(v, 256, 65535, c.nand.pageSize); }},
        {"nand", "pages_per_block", "a count from 1 to 4096 (default 64)",
         [](const std::string &v, CSimConfig &c) { return StoreUnsigned(v, 1, 4096, c.nand.pagesPerBlock); }},
        {"nand", "blocks", "a count from 1 to 1048576 (default 1024)",
         [](const std::string &v, CSimConfig &c) { return StoreUnsigned(v, 1, 1048576, c.nand.blocks); }},
        {"nand", "chip_enables", "1, 2 or 4 (default 1)",
         [](const std::string &v, CSimConfig &c) {
             const auto n = ParseUnsigned(v, 1, 4);
             if (!n || *n == 3)
                 return false;
             c.nand.chipEnables = uint32_t(*n);
             return true;
         }},
        {"nand", "onfi", "true or false (default false)",
         [](const std::string &v, CSimConfig &c) { return Store(ParseBool(v), c.nand.onfi); }},
        {"nand", "onfi_manufacturer", "up to 12 printable ASCII characters (default SIMULATED)",
         [](const std::string &v, CSimConfig &c) { return StoreText(v, 12, c.nand.onfiManufacturer); }},
        {"nand", "onfi_model", "up to 20 printable ASCII characters (default SIMNAND1G)",
         [](const std::string &v, CSimConfig &c) { return StoreText(v, 20, c.nand.onfiModel); }},
        {"nand", "bad_blocks", "block numbers separated by commas (default 37,811)",
         [](const std::string &v, CSimConfig &c) { return Store(ParseNumberList(v), c.nand.badBlocks); }},
        {"nand", "worn_blocks", "block:erases pairs, erases at least 1 (default none)",
         [](const std::string &v, CSimConfig &c) { return StoreWornBlocks(v, c.nand.wornBlocks); }},
        {"nand", "bitflips_per_mib", "a rate from 0 to 1000000 (default 0)",
         [](const std::string &v, CSimConfig &c) { return Store(ParseReal(v, 0, 1000000), c.nand.bitflipsPerMib); }},
        {"nand", "weak_bits", "byte_offset:bit pairs, bit 0 to 7 (default none)",
         [](const std::string &v, CSimConfig &c) { return StoreWeakBits(v, c.nand.weakBits); }},
        {"nand", "seed", "a number (default 1)",
         [](const std::string &v, CSimConfig &c) { return Store(ParseUnsigned(v, 0, UINT64_MAX), c.nand.seed); }},
        {"nand", "image", "a file path or nothing",
         [](const std::string &v, CSimConfig &c) { c.nand.image = v; return true; }},

        {"spi", "kind", "flash, at45 or eeprom (default flash)",
         [](const std::string &v, CSimConfig &c) {
             const std::string k = Lower(v);
             if (k == "flash")
                 c.spi.kind = ESpiKind::Flash;
             else if (k == "at45")
                 c.spi.kind = ESpiKind::At45;
             else if (k == "eeprom")
                 c.spi.kind = ESpiKind::Eeprom;
             else
                 return false;
             return true;
         }},
        {"spi", "id", "3 hex bytes (default EF 40 18)",
         [](const std::string &v, CSimConfig &c) {
             const auto bytes = ParseHexBytes(v, 3, 3);
             if (bytes)
                 std::copy(bytes->begin(), bytes->end(), c.spi.id.begin());
             return bytes.has_value();
         }},
        {"spi", "size", "bytes from 128 to 0x100000000 (default 0x1000000)",
         [](const std::string &v, CSimConfig &c) { return Store(ParseUnsigned(v, 128, 1ull << 32), c.spi.size); }},
        {"spi", "page_size", "bytes from 1 to 4096 (default 256; at45 256, 264, 512, 528, 1024 or 1056)",
         [](const std::string &v, CSimConfig &c) { return StoreUnsigned(v, 1, 4096, c.spi.pageSize); }},
        {"spi", "sfdp", "true or false (default true)",
         [](const std::string &v, CSimConfig &c) { return Store(ParseBool(v), c.spi.sfdp); }},
        {"spi", "sector_erase", "bytes that 0xD8 erases: 0x8000, 0x10000 or 0x40000 (default 0x10000)",
         [](const std::string &v, CSimConfig &c) {
             const auto n = ParseUnsigned(v, 0x8000, 0x40000);
             if (!n || (*n != 0x8000 && *n != 0x10000 && *n != 0x40000))
                 return false;
             c.spi.blockErase = *n;
             return true;
         }},
        {"spi", "small_erases", "true or false: 0x20 and 0x52 exist (default true)",
         [](const std::string &v, CSimConfig &c) { return Store(ParseBool(v), c.spi.smallErases); }},
        {"spi", "byte_program", "true or false: 0x02 programs one byte (default false)",
         [](const std::string &v, CSimConfig &c) { return Store(ParseBool(v), c.spi.byteProgram); }},
        {"spi", "protect", "true or false: block protect bits set at power-up (default false)",
         [](const std::string &v, CSimConfig &c) { return Store(ParseBool(v), c.spi.protect); }},
        {"spi", "worn_page", "a page number: that page keeps its old contents when programmed (default none)",
         [](const std::string &v, CSimConfig &c) { return StoreUnsigned(v, 0, 0xFFFFFFFEu, c.spi.wornPage); }},
        {"spi", "busy_polls", "status reads from 0 to 1000 a page program stays busy (default 2)",
         [](const std::string &v, CSimConfig &c) { return StoreUnsigned(v, 0, 1000, c.spi.busyPolls); }},
        {"spi", "image", "a file path or nothing",
         [](const std::string &v, CSimConfig &c) { c.spi.image = v; return true; }},
    };
    return rules;
}

bool IsPowerOfTwo(uint64_t v) { return v && !(v & (v - 1)); }

// The AT45 page organisations: binary pages, or 8 more bytes per 256.
bool At45PageSize(uint32_t bytes)
{
    switch (bytes) {
    case 256:
    case 264:
    case 512:
    case 528:
    case 1024:
    case 1056:
        return true;
    default:
        return false;
    }
}

// Pages that fit a three-byte address: linear bytes, or the page number
// above 9, 10 or 11 byte bits.
uint64_t At45MaxPages(uint32_t pageBytes)
{
    constexpr uint64_t AddressSpace = 1ull << 24;
    if (IsPowerOfTwo(pageBytes))
        return AddressSpace / pageBytes;
    uint64_t slot = 1;
    while (slot < pageBytes)
        slot <<= 1;
    return AddressSpace / slot;
}

class CConfigReader
{
public:
    CConfigReader(const std::string &source, const std::string &baseDir) : m_source(source), m_baseDir(baseDir) {}

    CSimConfig Read(const std::string &text);

private:
    void Report(int line, const std::string &text) const
    {
        Warn(m_source + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + text);
    }
    void ApplyEntries(const CIniFile &ini, CSimConfig &config);
    void CheckNand(CSimConfig &config);
    void CheckSpi(CSimConfig &config);
    std::string ResolvePath(const std::string &path) const;
    bool Given(const char *section, const char *key) const { return m_given.count(std::string(section) + "." + key) > 0; }

    std::string m_source;
    std::string m_baseDir;
    std::set<std::string> m_given;
};

CSimConfig CConfigReader::Read(const std::string &text)
{
    CSimConfig config;
    config.source = m_source;
    config.text = text;
    config.baseDir = m_baseDir;
    const CIniFile ini = CIniFile::Parse(text);
    for (const CIniProblem &problem : ini.Problems())
        Report(problem.line, problem.text);
    ApplyEntries(ini, config);
    CheckNand(config);
    CheckSpi(config);
    config.adapter.trace = ResolvePath(config.adapter.trace);
    config.adapter.stats = ResolvePath(config.adapter.stats);
    config.adapter.socket = ResolvePath(config.adapter.socket);
    config.nand.image = ResolvePath(config.nand.image);
    config.spi.image = ResolvePath(config.spi.image);
    return config;
}

void CConfigReader::ApplyEntries(const CIniFile &ini, CSimConfig &config)
{
    std::set<std::string> reportedSections;
    for (const CIniEntry &entry : ini.Entries()) {
        if (entry.section != "adapter" && entry.section != "nand" && entry.section != "spi") {
            // "?" follows a broken section header, which was reported already.
            if (entry.section != "?" && reportedSections.insert(entry.section).second) {
                Report(entry.line, entry.section.empty()
                                       ? "key \"" + entry.key + "\" outside a section; keys before the first section are ignored"
                                       : "unknown section [" + entry.section + "]; its keys are ignored");
            }
            continue;
        }
        const auto &rules = Rules();
        const auto rule = std::find_if(rules.begin(), rules.end(), [&](const CKeyRule &r) {
            return entry.section == r.section && entry.key == r.key;
        });
        if (rule == rules.end()) {
            Report(entry.line, "unknown key \"" + entry.key + "\" in [" + entry.section + "]; ignored");
            continue;
        }
        if (rule->apply(entry.value, config))
            m_given.insert(entry.section + "." + entry.key);
        else
            Report(entry.line, "[" + entry.section + "] " + entry.key + " = \"" + entry.value + "\" is not valid: expected " +
                                   rule->expected + "; using the default");
    }
}

void CConfigReader::CheckNand(CSimConfig &config)
{
    CNandConfig &nand = config.nand;
    const CNandConfig defaults;
    // Above 1 TiB the row address no longer fits the command layout.
    if (NandChipBytes(nand) > (1ull << 40)) {
        Report(0, "[nand] geometry gives a chip above 1 TiB; using the default geometry");
        nand.pageSize = defaults.pageSize;
        nand.pagesPerBlock = defaults.pagesPerBlock;
        nand.blocks = defaults.blocks;
        nand.chipEnables = defaults.chipEnables;
    }
    const uint64_t blocks = uint64_t(nand.blocks) * nand.chipEnables;
    const bool explicitBad = Given("nand", "bad_blocks");
    std::vector<uint64_t> bad;
    for (uint64_t block : nand.badBlocks) {
        if (block < blocks)
            bad.push_back(block);
        else if (explicitBad)
            Report(0, "[nand] bad block " + std::to_string(block) + " lies beyond the chip's " + std::to_string(blocks) +
                          " blocks; ignored");
    }
    std::sort(bad.begin(), bad.end());
    bad.erase(std::unique(bad.begin(), bad.end()), bad.end());
    nand.badBlocks = bad;
    for (auto it = nand.wornBlocks.begin(); it != nand.wornBlocks.end();) {
        if (it->first < blocks) {
            ++it;
            continue;
        }
        Report(0, "[nand] worn block " + std::to_string(it->first) + " lies beyond the chip; ignored");
        it = nand.wornBlocks.erase(it);
    }
    const uint64_t bytes = NandChipBytes(nand);
    std::vector<CWeakBit> weak;
    for (const CWeakBit &bit : nand.weakBits) {
        if (bit.offset < bytes)
            weak.push_back(bit);
        else
            Report(0, "[nand] weak bit at byte " + std::to_string(bit.offset) + " lies beyond the chip; ignored");
    }
    nand.weakBits = weak;
}

void CConfigReader::CheckSpi(CSimConfig &config)
{
    CSpiConfig &spi = config.spi;
    const bool sizeGiven = Given("spi", "size");
    const bool pageGiven = Given("spi", "page_size");
    if (spi.kind == ESpiKind::At45) {
        // The flash default of 256 is no default for an at45 part.
        if (!pageGiven)
            spi.pageSize = 528;
        if (!At45PageSize(spi.pageSize)) {
            if (pageGiven)
                Report(0, "[spi] an at45 part has pages of 256, 264, 512, 528, 1024 or 1056 bytes, not " +
                              std::to_string(spi.pageSize) + "; using 528");
            spi.pageSize = 528;
        }
        // 256-page sectors; the page number and the byte in the page share a
        // three-byte address.
        const uint64_t pages = spi.size / spi.pageSize;
        const uint64_t maxPages = At45MaxPages(spi.pageSize);
        // The page of the real part of that density: 264, 528 or 1056 bytes
        // (or the binary sizes) by density, as the firmware reads it back.
        const bool binary = IsPowerOfTwo(spi.pageSize);
        const uint64_t binaryPage = binary ? spi.pageSize : spi.pageSize / 264 * 256;
        const uint64_t mbit = pages * binaryPage * 8 >> 20;
        const bool real = IsPowerOfTwo(mbit) && mbit <= 64 && uint64_t(pages) * binaryPage * 8 == (mbit << 20) &&
                          At45PageOfDensity(uint32_t(mbit), binary) == spi.pageSize;
        const bool fits = spi.size % spi.pageSize == 0 && pages % 256 == 0 && pages >= 256 && pages <= maxPages && real;
        if (!fits) {
            const uint64_t fallbackPages = At45PageOfDensity(16, binary) == spi.pageSize   ? 4096
                                           : At45PageOfDensity(64, binary) == spi.pageSize ? 8192
                                                                                            : 2048;
            if (sizeGiven)
                Report(0, "[spi] an at45 part with " + std::to_string(spi.pageSize) +
                              "-byte pages has the page count of a real density (1 to 64 Mbit); using " +
                              std::to_string(fallbackPages) + " pages");
            spi.size = fallbackPages * spi.pageSize;
        }
        return;
    }
    const uint64_t maxSize = spi.kind == ESpiKind::Eeprom ? (16ull << 20) : (1ull << 32);
    if (!IsPowerOfTwo(spi.size) || spi.size > maxSize) {
        const uint64_t fallback = spi.kind == ESpiKind::Eeprom ? 0x8000 : 0x1000000;
        Report(0, "[spi] size " + std::to_string(spi.size) + " is not a power of two up to " + std::to_string(maxSize) +
                      "; using " + std::to_string(fallback));
        spi.size = fallback;
    }
    if (!IsPowerOfTwo(spi.pageSize)) {
        Report(0, "[spi] page_size " + std::to_string(spi.pageSize) + " is not a power of two; using 256");
        spi.pageSize = 256;
    }
    spi.pageSize = uint32_t(std::min<uint64_t>(spi.pageSize, spi.size));
}

std::string CConfigReader::ResolvePath(const std::string &path) const
{
    if (path.empty() || path.front() == '/' || m_baseDir.empty())
        return path;
    return m_baseDir + "/" + path;
}

} // namespace

uint64_t NandChipBytes(const CNandConfig &nand)
{
    return uint64_t(nand.pageSize) * nand.pagesPerBlock * nand.blocks * nand.chipEnables;
}

CSimConfig ParseConfig(const std::string &text, const std::string &source, const std::string &baseDir)
{
    return CConfigReader(source, baseDir).Read(text);
}

} // namespace xrsim
