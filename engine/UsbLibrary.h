#pragma once

// The adapter library: six exports resolved once into one table of entry
// points. Nothing else in the program touches the library; every wrapper
// tolerates a missing library or a missing export by returning its default.
//
// Load and Unload run on the GUI thread; the wrappers may be called from the
// programmer's worker thread. Unload waits for a wrapper call in progress, so
// the table never changes under a running call.

#include <QString>

#include <cstdint>

namespace Usb {

// Empty path: AppDirectory(DIR_DLL) + "libxrusb.so". Does nothing when a
// library is loaded already. The library counts as loaded once the file
// opened, even if some exports are missing. False when the file did not open.
bool LoadLibrary(const QString &path = {});
void UnloadLibrary();
bool IsLoaded();
// Why the last LoadLibrary failed (empty after a success).
QString LoadError();

// Non-zero: the adapter was found and opened. Default 0.
int32_t Open();
// Closes the adapter; no effect without the library.
void Close();
// Mode 0 on the first attempt after the worker starts, 1 later. Result 0
// failure, 2 already running that firmware, other non-zero loaded (the adapter
// re-enumerates). Default 0, also for a null image (the call is not made).
int32_t LoadFirmware(const uint8_t *image, uint8_t mode);
// Pipe 0 command packet, pipe 1 bulk program data; > 0 success. Default -1.
int32_t Send(int32_t pipe, const uint8_t *data, int32_t len);
// Pipe 2 short replies, pipe 3 long replies; > 0 success. Default -1.
int32_t Receive(int32_t pipe, uint8_t *buf, int32_t len);
// Bulk maximum packet size in bytes (512 on a high-speed link). Default 0.
int32_t PacketSize();

} // namespace Usb
