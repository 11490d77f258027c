#pragma once

// The NAND command packets, built from the chip geometry. Array commands
// (read 0x27, program 0x1C) share one 20-byte layout:
//
//   0       command code
//   1       address cycles: column bytes + row bytes
//   2 ..    column address (0), little-endian, column bytes long
//   ..      row address (page inside its chip enable), little-endian
//   8, 9    page size, little-endian
//   10      page count, low byte
//   11      page count, high byte, plus 1 when the low byte is not 0
//
// Lengths and NAND addresses are little-endian throughout.

#include "AdapterProtocol.h"
#include "NandGeometry.h"

#include <cstdint>

namespace NandPacket {

constexpr int32_t ArrayLength = 20;
constexpr int32_t IdLength = 6;
constexpr uint32_t IdReplyLength = 6;
constexpr uint32_t ParamPageReplyLength = 512;
constexpr uint32_t EraseReplyLength = 2;
constexpr uint32_t ProgramDoneReplyLength = 2;

// Field positions of the array, erase and marker packets.
constexpr int AddressCycles = 1;
constexpr int Address = 2;
constexpr int PageSize = 8;
constexpr int PageCount = 10;
constexpr int MarkerLength = 8;

// {0x29, 0x01, 0, 0, 0, 0}: the ID of the selected chip enable, 6 bytes.
Adapter::CPacket ReadId();
// {0x29, 0x00, 0, 0, 0, 0}: the ID as the base slot reads it.
Adapter::CPacket ReadIdPlain();
// {0x2A, 0x01, 0, 0, 0, 0}: the parameter page of a self-describing chip.
Adapter::CPacket ReadParamPage();

// The two page-count bytes with the carry of the high byte.
void PutPageCount(uint8_t *destination, uint32_t pages);

// Read (0x27) or program (0x1C) of pages from row on.
Adapter::CPacket Array(uint8_t code, const CNandGeometry &geometry, uint32_t row, uint32_t pages);
Adapter::CPacket Read(const CNandGeometry &geometry, uint32_t row, uint32_t pages);
Adapter::CPacket Program(const CNandGeometry &geometry, uint32_t row, uint32_t pages);
// {0x1B, row bytes, row...}: erase the block whose first page is row.
Adapter::CPacket Erase(const CNandGeometry &geometry, uint32_t row);
// {0x37, address cycles, column 0, row..., reply length LE32 at 8}: the
// spare area of the page at row, padded to replyLength bytes.
Adapter::CPacket MarkerRead(const CNandGeometry &geometry, uint32_t row, uint32_t replyLength);
// {0x32}: the end of programming; its 2-byte reply says the chip is done.
Adapter::CPacket ProgramFinished();
// {0x30, 0x00, t, 0x20, t, 0x40, t, 0x60, t, 0x00} with t = 11 - speed index.
Adapter::CPacket Timing(int speedIndex);
// {0x35, m1, m2, m3, m4, 0...}: pin levels as the adapter codes them.
Adapter::CPacket PinConfig(const int levels[4]);
// A device list pin level (0 not given, 1 low, 2 high) as the adapter's code
// (2 not driven, 0 low, 1 high; anything else 0).
uint8_t PinCode(int level);

} // namespace NandPacket
