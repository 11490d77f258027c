#include "ProgrammerFactory.h"

#include "DeviceItemSPIFlash.h"
#include "SpiProgrammer.h"

CProgrammer *CreateProgrammer(CDeviceItem *device)
{
    if (!device)
        return nullptr;
    switch (device->m_type) {
    case DEVICE_SPI:
        if (auto *spi = dynamic_cast<CDeviceItemSPIFlash *>(device))
            return new CSpiProgrammer(spi);
        return nullptr;
    default:
        return nullptr;
    }
}
