#include "NandPackets.h"

#include <initializer_list>

namespace NandPacket {

namespace {

Adapter::CPacket Packet(int32_t length, std::initializer_list<uint8_t> leading)
{
    Adapter::CPacket packet;
    packet.length = length;
    int i = 0;
    for (uint8_t byte : leading)
        packet.bytes[i++] = byte;
    return packet;
}

// Little-endian value in exactly count bytes.
void PutLE(uint8_t *destination, uint64_t value, int count)
{
    for (int i = 0; i < count; ++i)
        destination[i] = uint8_t(value >> (8 * i));
}

// Code, address cycles, column 0 and the row: the head every array-type
// packet shares.
Adapter::CPacket AddressedPacket(uint8_t code, const CNandGeometry &geometry, uint32_t row)
{
    Adapter::CPacket packet = Packet(ArrayLength, {code});
    packet.bytes[AddressCycles] = uint8_t(geometry.columnBytes + geometry.rowBytes);
    PutLE(packet.bytes + Address + geometry.columnBytes, row, geometry.rowBytes);
    return packet;
}

} // namespace

Adapter::CPacket ReadId()
{
    return Packet(IdLength, {Adapter::Cmd::ReadId, 0x01});
}

Adapter::CPacket ReadIdPlain()
{
    return Packet(IdLength, {Adapter::Cmd::ReadId, 0x00});
}

Adapter::CPacket ReadParamPage()
{
    return Packet(IdLength, {Adapter::Cmd::ReadParamPage, 0x01});
}

void PutPageCount(uint8_t *destination, uint32_t pages)
{
    const uint8_t low = uint8_t(pages & 0xFF);
    destination[0] = low;
    destination[1] = uint8_t((pages >> 8) + (low != 0 ? 1 : 0));
}

Adapter::CPacket Array(uint8_t code, const CNandGeometry &geometry, uint32_t row, uint32_t pages)
{
    Adapter::CPacket packet = AddressedPacket(code, geometry, row);
    Adapter::PutLE16(packet.bytes + PageSize, uint16_t(geometry.pageSize));
    PutPageCount(packet.bytes + PageCount, pages);
    return packet;
}

Adapter::CPacket Read(const CNandGeometry &geometry, uint32_t row, uint32_t pages)
{
    return Array(Adapter::Cmd::Read, geometry, row, pages);
}

Adapter::CPacket Program(const CNandGeometry &geometry, uint32_t row, uint32_t pages)
{
    return Array(Adapter::Cmd::Program, geometry, row, pages);
}

Adapter::CPacket Erase(const CNandGeometry &geometry, uint32_t row)
{
    Adapter::CPacket packet = Packet(ArrayLength, {Adapter::Cmd::Erase});
    packet.bytes[AddressCycles] = geometry.rowBytes;
    PutLE(packet.bytes + Address, row, geometry.rowBytes);
    return packet;
}

Adapter::CPacket MarkerRead(const CNandGeometry &geometry, uint32_t row, uint32_t replyLength)
{
    Adapter::CPacket packet = AddressedPacket(Adapter::Cmd::MarkerRead, geometry, row);
    Adapter::PutLE32(packet.bytes + MarkerLength, replyLength);
    return packet;
}

Adapter::CPacket ProgramFinished()
{
    return Packet(1, {Adapter::Cmd::ProgramFinished});
}

Adapter::CPacket Timing(int speedIndex)
{
    const uint8_t t = uint8_t(11 - speedIndex);
    return Packet(10, {Adapter::Cmd::Timing, 0x00, t, 0x20, t, 0x40, t, 0x60, t, 0x00});
}

uint8_t PinCode(int level)
{
    switch (level) {
    case 0: return 2; // not given: left undriven
    case 1: return 0; // low
    case 2: return 1; // high
    default: return 0;
    }
}

Adapter::CPacket PinConfig(const int levels[4])
{
    return Packet(10, {Adapter::Cmd::PinConfig, PinCode(levels[0]), PinCode(levels[1]), PinCode(levels[2]),
                       PinCode(levels[3])});
}

} // namespace NandPacket
