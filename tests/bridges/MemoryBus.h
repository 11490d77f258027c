#pragma once

// A small SPI memory behind the bridges' tests: it records every frame and
// answers ID, status and read instructions from its array, so a test sees
// both what reached the chip and what came back. The bridges only move
// frames; chip behaviour is tested with the simulated chips.

#include "SpiBus.h"

#include <cstring>
#include <mutex>
#include <vector>

struct CFrameRecord
{
    std::vector<uint8_t> out;
    size_t readCount = 0;
};

class CMemoryBus : public xrbus::ISpiBus
{
public:
    explicit CMemoryBus(size_t size = 1 << 20) : m_memory(size)
    {
        for (size_t i = 0; i < size; ++i)
            m_memory[i] = uint8_t(i * 7 + (i >> 8));
    }

    bool Transfer(const uint8_t *out, size_t writeCount, uint8_t *in, size_t readCount) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_frames.push_back({std::vector<uint8_t>(out, out + writeCount), readCount});
        if (in)
            std::memset(in, 0xFF, readCount);
        if (writeCount == 0)
            return true;
        // As on the wire: past the written bytes the chip sees the idle line.
        auto at = [&](size_t i) { return i < writeCount ? out[i] : uint8_t(0xFF); };
        auto address = [&] { return size_t(at(1)) << 16 | size_t(at(2)) << 8 | at(3); };
        for (size_t i = 0; i < readCount; ++i) {
            const size_t position = writeCount + i;
            if (out[0] == 0x9F && position >= 1 && position < 4)
                in[i] = uint8_t("\xEF\x40\x18"[position - 1]);
            else if (out[0] == 0x05 && position >= 1)
                in[i] = 0x00;
            else if (out[0] == 0x03 && position >= 4)
                in[i] = m_memory[(address() + position - 4) % m_memory.size()];
        }
        switch (out[0]) {
        case 0x02:
            for (size_t i = 4; i < writeCount; ++i)
                m_memory[(address() + i - 4) % m_memory.size()] = out[i];
            break;
        }
        return true;
    }

    std::vector<CFrameRecord> Frames()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_frames;
    }
    void ClearFrames()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_frames.clear();
    }
    uint8_t At(size_t i) const { return m_memory[i]; }

private:
    std::mutex m_lock;
    std::vector<uint8_t> m_memory;
    std::vector<CFrameRecord> m_frames;
};
