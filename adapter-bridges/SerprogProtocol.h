#pragma once

// The serial programmer protocol: an opcode byte and its parameters
// (little-endian, lengths and addresses 24-bit, no checksum); every command
// is answered with ACK and its reply bytes, or NAK alone.

#include <cstddef>
#include <cstdint>

namespace serprog {

constexpr uint8_t Ack = 0x06;
constexpr uint8_t Nak = 0x15;

enum Opcode : uint8_t {
    Nop = 0x00,
    QueryInterface = 0x01,   // ACK + u16 interface version (1)
    QueryCommandMap = 0x02,  // ACK + 32 bytes, bit n = opcode n supported
    QueryName = 0x03,        // ACK + 16 bytes, NUL padded
    QuerySerialBuffer = 0x04,// ACK + u16
    QueryBusType = 0x05,     // ACK + u8
    SyncNop = 0x10,          // NAK then ACK
    QueryMaxRead = 0x11,     // ACK + u24 (0 = 2^24)
    SetBusType = 0x12,       // u8
    SpiOperation = 0x13,     // u24 write count, u24 read count, write bytes -> ACK + read bytes
    SetSpiFrequency = 0x14,  // u32 Hz -> ACK + u32 Hz used
    SetPinState = 0x15,      // u8: 0 output drivers off
    QueryMaxWrite = 0x08,    // ACK + u24 (0 = 2^24)
};

constexpr uint16_t InterfaceVersion = 1;
constexpr uint8_t BusSpi = 0x08;
constexpr size_t CommandMapBytes = 32;
constexpr size_t NameBytes = 16;
constexpr uint32_t MaxLength24 = 1u << 24;  // what a length of 0 means in the max-length replies
constexpr size_t SpiOperationHeader = 7;    // opcode, u24 write count, u24 read count

inline bool Supported(const uint8_t (&map)[CommandMapBytes], uint8_t opcode)
{
    return (map[opcode / 8] >> (opcode % 8)) & 1;
}

inline void PutLe(uint8_t *at, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        at[i] = uint8_t(value >> (8 * i));
}

inline uint32_t GetLe(const uint8_t *at, int bytes)
{
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | at[i];
    return value;
}

} // namespace serprog
