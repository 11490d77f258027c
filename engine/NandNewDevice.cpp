// A chip no device entry knows: its ONFI parameter page (the 'L' reply)
// either describes it well enough to fill the built-in ONFI entry, which
// becomes the target at once, or the operator is offered the device editor
// with the chip's ID filled in, to write a device list line for it.

#include "NandProgrammer.h"

#include "DetectionTexts.h"
#include "DeviceDatabase.h"
#include "DeviceItemNand.h"
#include "FrameServices.h"
#include "NandPackets.h"
#include "NandTexts.h"
#include "NewDeviceDefinition.h"
#include "OnfiInfo.h"

#include <QStringList>

#include <algorithm>

namespace {

// Lower case, no leading zeros, comma separated: "ec,d3,51,95,58,0".
QString IdText(const CNandProgrammer::ChipId &id)
{
    QStringList bytes;
    for (uint8_t byte : id)
        bytes << QString::number(byte, 16);
    return bytes.join(QLatin1Char(','));
}

} // namespace

bool CNandProgrammer::onParamPage(const CProgMessage &message)
{
    if (!message.data || message.size < NandPacket::ParamPageReplyLength)
        return false;
    const ChipId id = s_lastUnknownId;
    // The ID is used up whatever the page says: a later detection starts over.
    clearLastUnknownId();

    const COnfiInfo info = DecodeOnfi(message.data.get(), message.size, s_chipEnables);
    auto *onfiEntry = dynamic_cast<CDeviceItemNand *>(FindByName(QString::fromLatin1(NAND_ONFI_ENTRY)));
    if (info.valid && onfiEntry) {
        std::copy(id.begin(), id.end(), onfiEntry->m_id);
        if (onfiEntry->SetFromOnfi(info)) {
            m_device = onfiEntry;
            Frame()->RequestTargetChange(QString::fromLatin1(NAND_ONFI_ENTRY));
            return false;
        }
    }

    LogString(Text(NandTextId::UnknownDevice));
    LogString(IdText(id));
    // The detection ends here: a script must not take an unknown chip for
    // a detected one.
    Frame()->FailOperation(DetectCode, Text(DetectionText::UnknownId).arg(IdText(id)));
    if (id[0] == 0xFF) {
        LogString(QStringLiteral(" "));
        LogString(Text(NandTextId::CheckPins));
        return false;
    }
    if (!Frame()->Unattended())
        defineUnknownChip(id);
    return false;
}

void CNandProgrammer::defineUnknownChip(const ChipId &id)
{
    OfferNewDeviceDefinition(DEVICE_NAND, QStringLiteral("New Nand"), id);
}
