#pragma once

// The device database: one process-wide ordered list of families, NAND first
// and SPI second, and the entry currently chosen as the target.

#include "DeviceFamily.h"

#include <memory>
#include <vector>

using DeviceFamilyList = std::vector<std::unique_ptr<CDeviceFamily>>;

// The process-wide family list (empty until LoadDeviceDatabase).
DeviceFamilyList &DeviceFamilies();

// Creates the NAND family, reads its file and appends it; then the same for
// the SPI family.
void LoadDeviceDatabase(DeviceFamilyList &families = DeviceFamilies());

// Exact, case-sensitive name lookup over all families in order.
CDeviceItem *FindByName(const QString &name);
// The first non-empty answer of the families in order.
CDeviceItem *FindById(int type, std::span<const uint8_t> ids, bool ask);
void ReportDuplicates(const DeviceOutput &output, int type, std::span<const uint8_t> ids);
// Every family's name followed by the details of each of its entries.
void PrintAll(const DeviceOutput &output, bool brief);
// Entries of all families, built-in entries included.
int CountAll();
// Deletes every family with its entries; the current device is cleared with
// them so that it never points at a deleted entry.
void DeleteAll();

// The family of a type (DEVICE_NAND or DEVICE_SPI) in the database, or null.
CDeviceFamily *FindFamilyOfType(int type);

// The entry chosen as the target, or null.
CDeviceItem *CurrentDevice();
void SetCurrentDevice(CDeviceItem *device);
