#include "NandReplyLayout.h"

#include <algorithm>

namespace {
uint64_t UnitsFor(uint64_t bytes, uint32_t unit)
{
    return unit ? (bytes + unit - 1) / unit : 0;
}
} // namespace

CNandReplyLayout CNandReplyLayout::Make(uint64_t address, uint64_t length, uint64_t commandBytes, uint32_t unitBytes)
{
    CNandReplyLayout layout;
    layout.address = address;
    layout.length = length;
    layout.commandBytes = commandBytes;
    layout.unitBytes = unitBytes;
    layout.firstUnit = unitBytes ? uint32_t(address / unitBytes) : 0;
    layout.unitsPerCommand = uint32_t(UnitsFor(commandBytes, unitBytes));
    return layout;
}

uint64_t CNandReplyLayout::CommandCount() const
{
    return commandBytes ? (length + commandBytes - 1) / commandBytes : 0;
}

uint64_t CNandReplyLayout::CommandLength(uint64_t command) const
{
    const uint64_t start = command * commandBytes;
    return start < length ? std::min(commandBytes, length - start) : 0;
}

uint32_t CNandReplyLayout::CommandUnit(uint64_t command) const
{
    return uint32_t(firstUnit + command * unitsPerCommand);
}

uint32_t CNandReplyLayout::ReplyLength(uint64_t command) const
{
    return uint32_t(UnitsFor(CommandLength(command), unitBytes) * unitBytes);
}

uint32_t CNandReplyLayout::TotalUnits() const
{
    const uint64_t commands = CommandCount();
    if (commands == 0)
        return 0;
    return uint32_t((commands - 1) * unitsPerCommand + UnitsFor(CommandLength(commands - 1), unitBytes));
}

CNandReplyLayout::CPlace CNandReplyLayout::Locate(int32_t pieceAddress, uint32_t pieceSize) const
{
    CPlace place;
    if (unitsPerCommand == 0)
        return place;
    const uint32_t relative = uint32_t(pieceAddress) - firstUnit; // record addresses wrap as unsigned
    const uint64_t command = relative / unitsPerCommand;
    const uint64_t within = uint64_t(relative % unitsPerCommand) * unitBytes;
    const uint64_t commandLength = CommandLength(command);
    place.chipAddress = address + command * commandBytes + within;
    if (within < commandLength)
        place.bytes = uint32_t(std::min<uint64_t>(pieceSize, commandLength - within));
    return place;
}
