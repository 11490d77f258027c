#pragma once

// What the six library calls drive: the simulated programmer or a real one
// behind a bridge. One instance lives per configuration.

#include <cstdint>

namespace xrsim {

namespace pipe {
constexpr int32_t Command = 0;
constexpr int32_t BulkOut = 1;
constexpr int32_t ShortReply = 2;
constexpr int32_t LongReply = 3;
} // namespace pipe

class IAdapter
{
public:
    virtual ~IAdapter() = default;

    virtual int32_t Open() = 0;
    virtual void Close() = 0;
    virtual int32_t LoadFirmware(const uint8_t *image, uint8_t mode) = 0;
    virtual int32_t Send(int32_t pipe, const uint8_t *data, int32_t length) = 0;
    virtual int32_t Receive(int32_t pipe, uint8_t *buffer, int32_t length) = 0;
    virtual int32_t PacketSize() const = 0;
    virtual bool IsOpen() const = 0;
};

} // namespace xrsim
