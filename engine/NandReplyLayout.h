#pragma once

// Where the reply pieces of a read-type operation belong on the chip.
//
// Each read command asks for one block and the adapter pads its reply to
// whole transfer units; the record addresses count those units, one command
// after the other. When a block is a whole number of units (every common
// chip) a piece's chip address is simply its address times the unit; when it
// is not (528-byte pages, 16 to a block, on a 512-byte link) the padding at
// the end of each reply is no part of the chip and the blocks lie closer
// together on the chip than their replies do in units. The layout maps a
// piece back to its chip bytes in both cases.

#include <cstdint>

struct CNandReplyLayout
{
    uint64_t address = 0;       // chip byte address of the first command
    uint64_t length = 0;        // chip bytes of the whole operation
    uint64_t commandBytes = 0;  // chip bytes asked for by one command (a block)
    uint32_t unitBytes = 0;     // transfer unit
    uint32_t firstUnit = 0;     // record address of the first command
    uint32_t unitsPerCommand = 0;

    struct CPlace
    {
        uint64_t chipAddress = 0;
        uint32_t bytes = 0;     // bytes of the piece that are chip data
    };

    static CNandReplyLayout Make(uint64_t address, uint64_t length, uint64_t commandBytes, uint32_t unitBytes);

    // Number of commands and the chip bytes command j asks for.
    uint64_t CommandCount() const;
    uint64_t CommandLength(uint64_t command) const;
    // Record address and reply length of command j.
    uint32_t CommandUnit(uint64_t command) const;
    uint32_t ReplyLength(uint64_t command) const;
    // Transfer units of all replies together.
    uint32_t TotalUnits() const;

    CPlace Locate(int32_t pieceAddress, uint32_t pieceSize) const;
};
