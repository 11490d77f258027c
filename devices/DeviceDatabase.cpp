#include "DeviceDatabase.h"

namespace {
DeviceFamilyList g_deviceFamilies;
CDeviceItem *g_currentDevice = nullptr;
} // namespace

DeviceFamilyList &DeviceFamilies()
{
    return g_deviceFamilies;
}

void LoadDeviceDatabase(DeviceFamilyList &families)
{
    auto nand = std::make_unique<CDeviceFamilyNand>();
    nand->LoadFile();
    families.push_back(std::move(nand));
    auto spi = std::make_unique<CDeviceFamilySPI>();
    spi->LoadFile();
    families.push_back(std::move(spi));
}

CDeviceItem *FindByName(const QString &name)
{
    for (const auto &family : g_deviceFamilies) {
        if (CDeviceItem *item = family->FindByName(name))
            return item;
    }
    return nullptr;
}

CDeviceItem *FindById(int type, std::span<const uint8_t> ids, bool ask)
{
    for (const auto &family : g_deviceFamilies) {
        if (CDeviceItem *item = family->FindById(type, ids, ask))
            return item;
    }
    return nullptr;
}

void ReportDuplicates(const DeviceOutput &output, int type, std::span<const uint8_t> ids)
{
    for (const auto &family : g_deviceFamilies)
        family->ReportDuplicates(output, type, ids);
}

void PrintAll(const DeviceOutput &output, bool brief)
{
    for (const auto &family : g_deviceFamilies)
        family->PrintAll(output, brief);
}

int CountAll()
{
    int count = 0;
    for (const auto &family : g_deviceFamilies)
        count += family->Count();
    return count;
}

void DeleteAll()
{
    g_currentDevice = nullptr;
    g_deviceFamilies.clear();
}

CDeviceFamily *FindFamilyOfType(int type)
{
    for (const auto &family : g_deviceFamilies) {
        if (family->Type() == type)
            return family.get();
    }
    return nullptr;
}

CDeviceItem *CurrentDevice()
{
    return g_currentDevice;
}

void SetCurrentDevice(CDeviceItem *device)
{
    g_currentDevice = device;
}
