#pragma once

// A serial programmer on the far end of a pseudo-terminal: a thread parses
// the protocol on the master side and runs each SPI operation on a bus (a
// simulated chip). The bridge under test opens SlavePath() like a real
// /dev/ttyACM0. Faults: junk before the handshake, unmapped commands, length
// limits, silence, a stall in the middle of an answer, a pulled plug.

#include "SpiBus.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace xremu {

struct CSerprogEmulatorOptions
{
    std::string name = "nvp-emulator";
    uint32_t maxWrite = 0;          // 0: the length queries are NAKed (no limit)
    uint32_t maxRead = 0;
    std::set<uint8_t> unmapped;     // opcodes left out of the command map (answered NAK)
    std::vector<uint8_t> junk;      // sent as soon as the port is opened, before any command
    bool silent = false;            // never answers anything
    int stallAfterOperations = -1;  // after this many SPI operations, the next answer stops halfway
    int unplugAfterOperations = -1; // after this many SPI operations the plug is pulled
    uint32_t fastestClockHz = 48000000; // the clock it answers is at most this (0: a broken firmware)
};

class CSerprogEmulator
{
public:
    CSerprogEmulator(xrbus::ISpiBus &chip, CSerprogEmulatorOptions options = {});
    ~CSerprogEmulator();
    CSerprogEmulator(const CSerprogEmulator &) = delete;
    CSerprogEmulator &operator=(const CSerprogEmulator &) = delete;

    const std::string &SlavePath() const { return m_slavePath; }
    // The programmer vanishes: its side of the pseudo-terminal closes.
    void Unplug();

    int SpiOperations() const { return m_operations; }
    uint32_t LargestRead() const { return m_largestRead; }
    uint32_t LargestWrite() const { return m_largestWrite; }
    int SyncRequests() const { return m_syncs; }
    int PinStateChanges() const { return m_pinChanges; }
    // Opcodes it received that it does not know or were not in its map.
    int RefusedCommands() const { return m_refused; }

private:
    void Run();
    bool ReadExact(uint8_t *data, size_t count);
    bool WriteAll(const uint8_t *data, size_t count);
    bool Answer(std::initializer_list<uint8_t> bytes) { return WriteAll(bytes.begin(), bytes.size()); }
    bool Handle(uint8_t opcode);
    bool RunSpiOperation();
    bool Mapped(uint8_t opcode) const;

    xrbus::ISpiBus &m_chip;
    CSerprogEmulatorOptions m_options;
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_operations{0};
    std::atomic<uint32_t> m_largestRead{0};
    std::atomic<uint32_t> m_largestWrite{0};
    std::atomic<int> m_syncs{0};
    std::atomic<int> m_pinChanges{0};
    std::atomic<int> m_refused{0};
    std::mutex m_closeLock;
    std::thread m_thread;
};

} // namespace xremu
