#include "ProgrammerFactory.h"

#include "DeviceItemNand.h"
#include "NandProgrammer.h"

CProgrammer *CreateProgrammer(CDeviceItem *device)
{
    if (!device)
        return nullptr;
    switch (device->m_type) {
    case DEVICE_NAND:
        if (auto *nand = dynamic_cast<CDeviceItemNand *>(device))
            return new CNandProgrammer(nand);
        return nullptr;
    default:
        return nullptr;
    }
}
