#pragma once

// The CH341A in its SPI mode: 32-byte command packets on bulk OUT 0x02,
// answers on bulk IN 0x82. An SPI stream packet clocks up to 31 bytes full
// duplex and returns as many; a UIO stream packet drives the pins (D0 chip
// select, D3 clock, D5 data out, D7 data in). Bytes travel least significant
// bit first.

#include <cstddef>
#include <cstdint>

namespace ch341a {

constexpr uint16_t VendorId = 0x1a86;
constexpr uint16_t ProductId = 0x5512;
constexpr uint8_t EndpointOut = 0x02;
constexpr uint8_t EndpointIn = 0x82;
constexpr int Interface = 0;
constexpr size_t PacketBytes = 32;
constexpr size_t SpiBytesPerPacket = PacketBytes - 1;
constexpr unsigned TimeoutMs = 1000;

enum Command : uint8_t {
    SpiStream = 0xA8,
    I2cStream = 0xAA,
    UioStream = 0xAB,
};

// UIO stream bytes
constexpr uint8_t UioOut = 0x80;       // | D5..D0 levels
constexpr uint8_t UioDirection = 0x40; // | D5..D0 output enables
constexpr uint8_t UioEnd = 0x20;
constexpr uint8_t PinsCsHigh = 0x37;   // CS, clock and data out high
constexpr uint8_t PinsCsLow = 0x36;
constexpr uint8_t PinsAllOutputs = 0x3F;
constexpr uint8_t ChipSelectBit = 0x01;

// I2C stream: set mode (bits 1:0 speed, bit 2 dual data)
constexpr uint8_t I2cSet = 0x60;
constexpr uint8_t I2cEnd = 0x00;
constexpr uint8_t ModeStandard = 0x01;

constexpr uint8_t Reversed(uint8_t b)
{
    b = uint8_t((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = uint8_t((b & 0xCC) >> 2 | (b & 0x33) << 2);
    b = uint8_t((b & 0xAA) >> 1 | (b & 0x55) << 1);
    return b;
}

// A transaction moves at most this much; longer reads are split into several
// read commands by the caller.
constexpr size_t MaxTransferBytes = 4096;

} // namespace ch341a
