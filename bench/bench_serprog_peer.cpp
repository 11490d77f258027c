// A 16 MiB read through the serprog bridge and through flashrom, side by
// side on the same emulated serial programmer (a pseudo-terminal), with the
// same chip contents; prints both times and their ratio.
//
// Usage: bench_serprog_peer [flashrom executable]   (default: flashrom on PATH)
// The Norvaplex side is the bridge as the adapter library drives it: reads
// of 32 KiB per SPI operation, the engine's transfer size.

#include "MemoryBus.h"
#include "SerprogBus.h"
#include "SerprogEmulator.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t ChipBytes = 16u << 20;
constexpr size_t ReadBytes = 0x8000;

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

bool MatchesChip(CMemoryBus &chip, const std::vector<uint8_t> &data)
{
    if (data.size() != ChipBytes)
        return false;
    for (size_t i = 0; i < ChipBytes; ++i)
        if (data[i] != chip.At(i))
            return false;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string flashrom = argc > 1 ? argv[1] : "flashrom";
    CMemoryBus chip(ChipBytes);

    // Norvaplex's bridge.
    double ours = 0;
    bool oursMatch = false;
    {
        xremu::CSerprogEmulator emulator(chip);
        std::string error;
        auto start = std::chrono::steady_clock::now();
        auto bus = xrbridge::CSerprogBus::Open(emulator.SlavePath(), {}, error);
        if (!bus) {
            std::fprintf(stderr, "bridge: %s\n", error.c_str());
            return 1;
        }
        std::vector<uint8_t> image(ChipBytes);
        for (size_t at = 0; at < ChipBytes; at += ReadBytes) {
            const uint8_t read[] = {0x03, uint8_t(at >> 16), uint8_t(at >> 8), uint8_t(at)};
            if (!bus->Transfer(read, sizeof read, image.data() + at, ReadBytes)) {
                std::fprintf(stderr, "bridge: %s\n", bus->LastError().c_str());
                return 1;
            }
        }
        ours = Seconds(start);
        oursMatch = MatchesChip(chip, image);
    }

    // flashrom on the same kind of emulated programmer.
    double theirs = 0;
    bool theirsMatch = false;
    {
        xremu::CSerprogEmulator emulator(chip);
        char path[] = "/tmp/bench-serprog-peer-XXXXXX";
        const int fd = ::mkstemp(path);
        if (fd < 0)
            return 1;
        ::close(fd);
        const std::string command = flashrom + " -p serprog:dev=" + emulator.SlavePath() +
                                    ":115200 -c W25Q128.V -r " + path + " > /tmp/bench-serprog-peer.log 2>&1";
        auto start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        theirs = Seconds(start);
        std::ifstream file(path, std::ios::binary);
        const std::vector<uint8_t> image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        theirsMatch = status == 0 && MatchesChip(chip, image);
        ::unlink(path);
        if (status != 0)
            std::fprintf(stderr, "flashrom failed (status %d); see /tmp/bench-serprog-peer.log\n", status);
    }

    std::printf("16 MiB read over an emulated serprog programmer (pty)\n");
    std::printf("  Norvaplex bridge: %.2f s  contents %s\n", ours, oursMatch ? "match" : "DIFFER");
    std::printf("  flashrom:         %.2f s  contents %s\n", theirs, theirsMatch ? "match" : "DIFFER");
    if (ours > 0)
        std::printf("  ratio flashrom / Norvaplex: %.2f\n", theirs / ours);
    return oursMatch && theirsMatch ? 0 : 1;
}
