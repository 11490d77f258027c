#pragma once

// A programmer for tests of the console: it never starts its worker, and it
// records every engine call it receives as one text line ("startProgram 0 800")
// so a test can check what a command asked for. The chip it pretends to drive
// has chipSize bytes and aligns typed ranges to alignUnit; the start calls
// answer with the codes the test sets.
//
// Real engines are tested end to end against the simulated adapter; this is
// only the far side of the command framework.

#include "Programmer.h"

#include <QString>
#include <QStringList>

#include <cstdint>

class CRecordingProgrammer : public CProgrammer
{
public:
    explicit CRecordingProgrammer(uint32_t capabilityBits) : CProgrammer(nullptr)
    {
        m_capabilities = capabilityBits;
    }
    ~CRecordingProgrammer() override { stopWorker(); }

    // --- what the test sets
    uint64_t chipSize = 0x10000;
    uint64_t alignUnit = 1;
    int readOpAnswer = -1; // -1: answer with the op code itself
    int programAnswer = 'D';
    int eraseAnswer = 'G';
    int detectAnswer = 'H';
    bool loadAnswer = true;

    // --- what the programmer was asked
    QStringList calls;

    // Whole chip for 0/0; otherwise the start rounded down and the end
    // rounded up to alignUnit, both kept inside the chip.
    void normalizeRange(uint64_t &address, uint64_t &length) override
    {
        calls << QStringLiteral("normalizeRange %1 %2").arg(address, 0, 16).arg(length, 0, 16);
        if (length == 0) {
            address = 0;
            length = chipSize;
            return;
        }
        uint64_t end = address + length;
        address -= address % alignUnit;
        end = (end + alignUnit - 1) / alignUnit * alignUnit;
        if (end > chipSize)
            end = chipSize;
        length = end > address ? end - address : 0;
    }
    int startReadOp(uint64_t address, uint64_t length, int opCode) override
    {
        calls << QStringLiteral("startReadOp %1 %2 %3").arg(address, 0, 16).arg(length, 0, 16).arg(QChar(opCode));
        return readOpAnswer < 0 ? opCode : readOpAnswer;
    }
    int startProgram(uint64_t address, uint64_t length) override
    {
        calls << QStringLiteral("startProgram %1 %2").arg(address, 0, 16).arg(length, 0, 16);
        return programAnswer;
    }
    int startErase(uint64_t address, uint64_t length) override
    {
        calls << QStringLiteral("startErase %1 %2").arg(address, 0, 16).arg(length, 0, 16);
        return eraseAnswer;
    }
    int detect() override
    {
        calls << QStringLiteral("detect");
        return detectAnswer;
    }
    void saveBlocks(uint32_t first, uint32_t count, const QString &path) override
    {
        calls << QStringLiteral("saveBlocks %1 %2 %3").arg(first, 0, 16).arg(count, 0, 16).arg(path);
    }
    bool loadFile(const QString &path) override
    {
        calls << QStringLiteral("loadFile %1").arg(path);
        return loadAnswer;
    }
    void saveNamedBuffer(const QString &bufferName, const QString &path) override
    {
        calls << QStringLiteral("saveNamedBuffer %1 %2").arg(bufferName, path);
    }
    void setSpeed(int speedIndex) override { calls << QStringLiteral("setSpeed %1").arg(speedIndex); }
    void fillRandom() override { calls << QStringLiteral("fillRandom"); }
    void newChip() override { calls << QStringLiteral("newChip"); }
    int smartCopy() override
    {
        calls << QStringLiteral("smartCopy");
        return Refused;
    }
    int correctFromFiles(bool refuse) override
    {
        calls << QStringLiteral("correctFromFiles %1").arg(refuse ? "true" : "false");
        return refuse ? 1 : 0;
    }

    // --- the rest of the engine interface, unused by the console
    void afterCommandSent(const CProgCommand &) override {}
    void setTarget(uint8_t) override {}
    void putLE32(uint8_t *destination, uint32_t value) override
    {
        for (int i = 0; i < 4; ++i)
            destination[i] = uint8_t(value >> (8 * i));
    }
    void readIdAt(int32_t) override {}
    CMemoryNode *buffer(int) override { return nullptr; }
    bool handleMessage(CProgMessage *) override { return false; }
};
