#include "ProgrammerFactory.h"

#include "DeviceItem.h"

CProgrammer *CreateProgrammer(CDeviceItem *device)
{
    if (!device)
        return nullptr;
    switch (device->m_type) {
    default:
        return nullptr;
    }
}
