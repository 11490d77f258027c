#pragma once

// A real SPI programmer behind the library: the SPI firmware layer runs here,
// over the bus of a bridge (serprog, CH341A, spidev). The adapter reports an
// SPI module; there is no firmware to load into a bridge, so any well-formed
// image counts as running at once.
//
// The bridge is opened by the first func4 and stays open across func5, as a
// plugged-in adapter stays enumerated. A failed transfer is a pulled plug:
// the bus is closed, every later transfer fails, and the next func4 tries to
// open the programmer again (a replugged board is found again). Each reason
// a programmer cannot be opened is said once, until it changes.

#include "Adapter.h"
#include "Chip.h"
#include "Firmware.h"
#include "ProgrammerChoice.h"
#include "SimConfig.h"
#include "SpiFirmware.h"
#include "Trace.h"

#include <memory>
#include <optional>
#include <string>

namespace xrsim {

class CBridgeAdapter : public IAdapter
{
public:
    // `choiceError` non-empty: the programmer line could not be read; the
    // adapter is then never found and says why.
    CBridgeAdapter(const xrbridge::CProgrammerChoice &choice, const std::string &choiceError,
                   const CAdapterConfig &config, const xrbridge::CBridgeSeams &seams);
    ~CBridgeAdapter() override;
    CBridgeAdapter(const CBridgeAdapter &) = delete;
    CBridgeAdapter &operator=(const CBridgeAdapter &) = delete;

    int32_t Open() override;
    void Close() override;
    int32_t LoadFirmware(const uint8_t *image, uint8_t mode) override;
    int32_t Send(int32_t pipe, const uint8_t *data, int32_t length) override;
    int32_t Receive(int32_t pipe, uint8_t *buffer, int32_t length) override;
    int32_t PacketSize() const override { return int32_t(m_config.packetSize); }
    bool IsOpen() const override { return m_open; }

private:
    bool Connect();
    // True when the bus failed during the last call: the plug is then pulled.
    bool LinkLost();
    void PullPlug();
    void DropPending();
    void HandleCommand(const CPacket &packet);
    // Each problem is said once, until data got through again.
    void Problem(const std::string &line);

    xrbridge::CProgrammerChoice m_choice;
    std::string m_choiceError;
    CAdapterConfig m_config;
    xrbridge::CBridgeSeams m_seams;
    CStats m_stats;
    CTrace m_trace;
    std::unique_ptr<xrspi::CSpiFirmware> m_spi;
    std::unique_ptr<CReply> m_reply;  // refers to the firmware: declared after it
    std::unique_ptr<CDataSink> m_sink;
    std::optional<CFirmwareImage> m_firmware;
    std::string m_lastProblem;
    bool m_announced = false;
    bool m_replyFromChip = false;  // the reply came over the bus, not from the adapter itself
    bool m_open = false;
};

// "serprog:/dev/ttyACM0" and the like, as the operator wrote it.
std::string ChoiceText(const xrbridge::CProgrammerChoice &choice);

} // namespace xrsim
