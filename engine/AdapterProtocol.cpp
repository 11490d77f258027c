#include "AdapterProtocol.h"

#include <initializer_list>

namespace Adapter {

namespace {
CPacket Packet(int32_t length, std::initializer_list<uint8_t> leading)
{
    CPacket packet;
    packet.length = length;
    int i = 0;
    for (uint8_t byte : leading)
        packet.bytes[i++] = byte;
    return packet;
}
} // namespace

CPacket SleepPacket(uint16_t milliseconds)
{
    return Packet(10, {Cmd::Sleep, uint8_t(milliseconds >> 8), uint8_t(milliseconds & 0xFF)});
}

CPacket MarkerPacket()
{
    return Packet(1, {Cmd::Marker});
}

CPacket SelectChipPacket(uint8_t chipEnable)
{
    return Packet(2, {Cmd::SelectChip, chipEnable});
}

CPacket EndOperationPacket()
{
    return Packet(2, {Cmd::EndOperation, 0x00});
}

CPacket ParamPacket(uint8_t value)
{
    return Packet(2, {Cmd::Param, value});
}

CPacket StatusPacket()
{
    return Packet(1, {Cmd::Status});
}

CPacket ReadAdapterIdPacket()
{
    return Packet(9, {Cmd::ReadAdapterId, 0x00, 0x02, 0x00, 0x0A});
}

CPacket SetTargetPacket(const CTargetSetup &setup)
{
    const bool spi = setup.family == FamilySpi;
    const uint8_t algorithm = spi && setup.spiAlgorithm <= 4 ? setup.spiAlgorithm : 0;
    return Packet(10, {Cmd::SetTarget, setup.adapterKind, spi ? FamilySpi : FamilyNand,
                       uint8_t(setup.highSpeedLink ? 1 : 0), algorithm, uint8_t(spi ? 0 : setup.columnBytes),
                       uint8_t(spi ? 0 : setup.rowBytes)});
}

} // namespace Adapter
