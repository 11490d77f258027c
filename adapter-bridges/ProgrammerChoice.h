#pragma once

// Which programmer the adapter library drives, as one line of text that the
// command line, the adapter configuration file and the window all use:
//
//   sim                              the simulated adapter (default)
//   serprog:/dev/ttyACM0[,baud=N][,settle_ms=N][,hz=N]
//   ch341a
//   spidev:/dev/spidev0.0[,hz=N]

#include "SpiBus.h"

#include <cstdint>
#include <memory>
#include <string>

namespace xrbridge {

class IUsbOpener;
class ISpidevIo;

enum class EProgrammer { Simulated, Serprog, Ch341a, Spidev };

struct CProgrammerChoice
{
    EProgrammer kind = EProgrammer::Simulated;
    std::string node;       // serial port or spidev node
    uint32_t baud = 115200;
    int settleMs = 0;
    uint32_t clockHz = 0;   // 0: the bridge's default
};

// False with `error` naming what is wrong; `choice` is then unchanged.
bool ParseProgrammer(const std::string &text, CProgrammerChoice &choice, std::string &error);
std::string ProgrammerName(EProgrammer kind);

// Where the bridges reach the system; tests put their fakes here.
struct CBridgeSeams
{
    IUsbOpener *usb = nullptr;      // null: libusb
    ISpidevIo *spidev = nullptr;    // null: the kernel
};

// Opens the bus of a bridge (not the simulated adapter); null with `error`
// set to one line that says what to do.
std::unique_ptr<xrbus::ISpiBus> OpenBridge(const CProgrammerChoice &choice, const CBridgeSeams &seams,
                                           std::string &error);

} // namespace xrbridge
