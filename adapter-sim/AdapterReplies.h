#pragma once

// The replies the adapter itself gives, whatever drives the chip: its
// identification (serial number with the fitted module, firmware type) and
// whether a target family suits the module.

#include "Firmware.h"
#include "Packet.h"
#include "SimConfig.h"

#include <optional>
#include <vector>

namespace xrsim {

std::vector<uint8_t> IdentifyReply(const CAdapterConfig &adapter, EModule module,
                                   const std::optional<CFirmwareImage> &firmware);
std::vector<uint8_t> SetTargetReply(const CAdapterConfig &adapter, EModule module, const CPacket &packet);

} // namespace xrsim
