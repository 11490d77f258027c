#pragma once

// The seven firmware images of the adapter's USB controller, carried as
// constant data in the record format of FirmwareRecord.h. The application
// only passes them to Usb::LoadFirmware; which one a target needs is the
// programmers' business.

#include "FirmwareRecord.h"

#include <cstdint>

// index 1 or 2; null for any other index.
const uint8_t *NandFirmware(int index);
// index 0 to 4; null for any other index.
const uint8_t *SpiFirmware(int index);
