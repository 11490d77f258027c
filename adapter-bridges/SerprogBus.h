#pragma once

// An SPI bus on a serial programmer: a microcontroller (Pico, STM32, Arduino
// firmwares) reached through its USB CDC port or a serial line. Each
// transaction is one SPI operation command, which the firmware runs as one
// chip-select frame.

#include "SerialPort.h"
#include "SerprogProtocol.h"
#include "SpiBus.h"

#include <memory>
#include <string>

namespace xrbridge {

struct CSerprogOptions
{
    uint32_t baud = 115200;       // CDC firmwares ignore it
    int settleMs = 0;             // boards that reset when the port opens (Arduino) need ~2000
    int syncTimeoutMs = 5000;     // give up the handshake after this long
    int replyTimeoutMs = 1000;    // a reply byte must arrive within this long
    uint32_t clockHz = 0;         // 0: leave the firmware's clock
    int flushWaitMs = 50;         // after the first NOPs, for the firmware's answers to arrive
};

class CSerprogBus : public xrbus::ISpiBus
{
public:
    // Opens the port, synchronises with the firmware and checks that it
    // speaks SPI; null with `error` set otherwise.
    static std::unique_ptr<CSerprogBus> Open(const std::string &path, const CSerprogOptions &options,
                                             std::string &error);
    // The same over a link that is open already.
    static std::unique_ptr<CSerprogBus> Start(std::unique_ptr<ISerialLink> link, const CSerprogOptions &options,
                                              std::string &error);
    ~CSerprogBus() override;

    bool Transfer(const uint8_t *out, size_t writeCount, uint8_t *in, size_t readCount) override;
    size_t MaxWrite() const override { return m_maxWrite; }
    size_t MaxRead() const override { return m_maxRead; }
    uint32_t SetClockHz(uint32_t hz) override;
    std::string LastError() const override { return m_error; }

    const std::string &ProgrammerName() const { return m_name; }

private:
    CSerprogBus(std::unique_ptr<ISerialLink> link, const CSerprogOptions &options);

    bool Synchronise();
    bool Handshake();
    // Sends a command (opcode + parameters) and reads ACK + `replyCount`
    // bytes; false on NAK (`nak` set), time-out or a lost port.
    bool Command(const uint8_t *command, size_t count, uint8_t *reply, size_t replyCount, bool *nak = nullptr);
    bool Has(uint8_t opcode) const { return serprog::Supported(m_map, opcode); }
    uint32_t QueryMaxLength(uint8_t opcode);
    void Fail(const std::string &what);

    std::unique_ptr<ISerialLink> m_link;
    ISerialLink &m_port;
    CSerprogOptions m_options;
    uint8_t m_map[serprog::CommandMapBytes] = {};
    size_t m_maxWrite = 0;
    size_t m_maxRead = 0;
    std::string m_name;
    std::string m_error;
    bool m_broken = false;
};

} // namespace xrbridge
