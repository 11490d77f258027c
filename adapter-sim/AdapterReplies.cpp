#include "AdapterReplies.h"
#include "ByteOrder.h"

namespace xrsim {

namespace {
constexpr uint8_t ModuleCodeNand = 0x00;
constexpr uint8_t ModuleCodeSpi = 0x01;
constexpr uint8_t ModuleCodeNone = 0xFF;
} // namespace

std::vector<uint8_t> IdentifyReply(const CAdapterConfig &adapter, EModule module,
                                   const std::optional<CFirmwareImage> &firmware)
{
    const uint8_t moduleCode = module == EModule::Nand ? ModuleCodeNand : module == EModule::Spi ? ModuleCodeSpi : ModuleCodeNone;
    std::vector<uint8_t> reply(8);
    PutLE32(&reply[0], (uint32_t(moduleCode) << 24) | (adapter.serial & 0x00FFFFFFu));
    PutLE32(&reply[4], firmware ? FirmwareTypeCode(*firmware, adapter.nandImage) : ident::TypeUnknown);
    return reply;
}

std::vector<uint8_t> SetTargetReply(const CAdapterConfig &adapter, EModule module, const CPacket &packet)
{
    const uint8_t family = packet.At(settarget::Family);
    const bool fits = (module == EModule::Nand && family == settarget::FamilyNand) ||
                      (module == EModule::Spi && family == settarget::FamilySpi);
    return {uint8_t(fits ? 1 : 0), uint8_t(adapter.rejectSetTarget ? 0 : 1)};
}

} // namespace xrsim
