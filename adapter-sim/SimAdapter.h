#pragma once

// The simulated programmer: link, firmware and the chip in its socket,
// driven by the six library calls. One instance lives per configuration.

#include "Adapter.h"
#include "Chip.h"
#include "Firmware.h"
#include "Link.h"
#include "SimConfig.h"
#include "SocketFile.h"
#include "Trace.h"

#include <memory>
#include <optional>

namespace xrsim {

class CSimAdapter : public IAdapter
{
public:
    explicit CSimAdapter(const CSimConfig &config);
    ~CSimAdapter() override;
    CSimAdapter(const CSimAdapter &) = delete;
    CSimAdapter &operator=(const CSimAdapter &) = delete;

    int32_t Open() override;
    void Close() override;
    int32_t LoadFirmware(const uint8_t *image, uint8_t mode) override;
    int32_t Send(int32_t pipe, const uint8_t *data, int32_t length) override;
    int32_t Receive(int32_t pipe, uint8_t *buffer, int32_t length) override;
    int32_t PacketSize() const override { return int32_t(m_config.adapter.packetSize); }
    bool IsOpen() const override { return m_open; }

private:
    bool LinkUp();
    void PullPlug();
    void DropPending();
    void HandleCommand(const CPacket &packet);
    std::unique_ptr<CChip> MakeChip();
    // Seats what the socket file says, when it changed.
    void FollowSocket();
    // The operator pulls the chip at its configured program command.
    void PullChipAtProgram(const CPacket &packet);

    CSimConfig m_config;
    CStats m_stats;
    CTrace m_trace;
    CLink m_link;
    CSocketFile m_socket;
    bool m_socketEmpty = false;          // the socket file says nothing is seated
    uint64_t m_pullAtProgram = 0;        // of the chip seated now; 0 = it stays
    uint64_t m_programsSinceSeat = 0;
    std::optional<int> m_algorithm;      // the SPI algorithm last selected, for a chip seated later
    std::unique_ptr<CChip> m_chip;
    std::unique_ptr<CReply> m_reply;       // refers to the chip: declared after it
    std::unique_ptr<CDataSink> m_sink;
    std::optional<CFirmwareImage> m_firmware;
    bool m_open = false;
};

} // namespace xrsim
