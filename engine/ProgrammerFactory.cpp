#include "ProgrammerFactory.h"

#include "DeviceItemNand.h"
#include "DeviceItemSPIFlash.h"
#include "NandProgrammer.h"
#include "SpiProgrammer.h"

CProgrammer *CreateProgrammer(CDeviceItem *device)
{
    if (!device)
        return nullptr;
    switch (device->m_type) {
    case DEVICE_NAND:
        if (auto *nand = dynamic_cast<CDeviceItemNand *>(device))
            return new CNandProgrammer(nand);
        return nullptr;
    case DEVICE_SPI:
        if (auto *spi = dynamic_cast<CDeviceItemSPIFlash *>(device))
            return new CSpiProgrammer(spi);
        return nullptr;
    default:
        return nullptr;
    }
}
