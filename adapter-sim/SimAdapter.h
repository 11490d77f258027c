#pragma once

// The simulated programmer: link, firmware and the chip in its socket,
// driven by the six library calls. One instance lives per configuration.

#include "Adapter.h"
#include "Chip.h"
#include "Firmware.h"
#include "Link.h"
#include "SimConfig.h"
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

    CSimConfig m_config;
    CStats m_stats;
    CTrace m_trace;
    CLink m_link;
    std::unique_ptr<CChip> m_chip;
    std::unique_ptr<CReply> m_reply;       // refers to the chip: declared after it
    std::unique_ptr<CDataSink> m_sink;
    std::optional<CFirmwareImage> m_firmware;
    bool m_open = false;
};

} // namespace xrsim
