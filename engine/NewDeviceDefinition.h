#pragma once

// The last resort for a chip that no device entry knows and that did not
// describe itself: the operator writes the device list line for it.

#include <QString>

#include <cstdint>
#include <span>

// Opens the device editor of family `kind` (DEVICE_NAND or DEVICE_SPI)
// titled `title`, with the detected ID bytes in its identification fields.
// When the operator accepts, the edited entry's device list line goes to the
// log and the family's device list file is opened for pasting it. Cancel
// changes nothing. True when accepted.
bool OfferNewDeviceDefinition(int kind, const QString &title, std::span<const uint8_t> id);
