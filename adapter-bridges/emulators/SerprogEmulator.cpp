#include "SerprogEmulator.h"

#include "SerprogProtocol.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace xremu {

using namespace serprog;

namespace {

// Everything the emulator knows.
const std::set<uint8_t> Known = {Nop, QueryInterface, QueryCommandMap, QueryName, QuerySerialBuffer,
                                 QueryBusType, QueryMaxWrite, SyncNop, QueryMaxRead, SetBusType,
                                 SpiOperation, SetSpiFrequency, SetPinState};

} // namespace

CSerprogEmulator::CSerprogEmulator(xrbus::ISpiBus &chip, CSerprogEmulatorOptions options)
    : m_chip(chip), m_options(std::move(options))
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    m_slavePath = name;
    // A pty starts cooked: make the slave raw so no byte is changed before
    // the bridge configures it; the emulator's end is never read cooked.
    struct termios tio {};
    ::tcgetattr(m_slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(m_slave, TCSANOW, &tio);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    if (!m_options.junk.empty())
        WriteAll(m_options.junk.data(), m_options.junk.size());
    m_thread = std::thread([this] { Run(); });
}

CSerprogEmulator::~CSerprogEmulator()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    Unplug();
}

void CSerprogEmulator::Unplug()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard<std::mutex> lock(m_closeLock);
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
}

bool CSerprogEmulator::ReadExact(uint8_t *data, size_t count)
{
    size_t done = 0;
    while (done < count) {
        if (m_stop)
            return false;
        const ssize_t n = ::read(m_master, data + done, count - done);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO)
            return false;
        struct pollfd p {m_master, POLLIN, 0};
        ::poll(&p, 1, 20);
        if (n < 0 && errno == EIO)
            ::usleep(2000);  // nobody has the slave open yet
    }
    return true;
}

bool CSerprogEmulator::WriteAll(const uint8_t *data, size_t count)
{
    size_t done = 0;
    while (done < count) {
        if (m_stop)
            return false;
        const ssize_t n = ::write(m_master, data + done, count - done);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        struct pollfd p {m_master, POLLOUT, 0};
        ::poll(&p, 1, 20);
    }
    return true;
}

bool CSerprogEmulator::Mapped(uint8_t opcode) const
{
    return Known.count(opcode) && !m_options.unmapped.count(opcode);
}

void CSerprogEmulator::Run()
{
    uint8_t opcode = 0;
    while (ReadExact(&opcode, 1)) {
        if (m_options.silent)
            continue;
        if (!Handle(opcode))
            break;
    }
}

bool CSerprogEmulator::Handle(uint8_t opcode)
{
    if (!Mapped(opcode) && opcode != Nop && opcode != QueryInterface && opcode != SyncNop) {
        ++m_refused;
        return Answer({Nak});
    }
    uint8_t p[4] = {};
    switch (opcode) {
    case Nop:
        return Answer({Ack});
    case QueryInterface:
        return Answer({Ack, uint8_t(InterfaceVersion), 0});
    case QueryCommandMap: {
        uint8_t map[1 + CommandMapBytes] = {Ack};
        for (uint8_t code : Known)
            if (Mapped(code))
                map[1 + code / 8] |= uint8_t(1u << (code % 8));
        return WriteAll(map, sizeof map);
    }
    case QueryName: {
        uint8_t name[1 + NameBytes] = {Ack};
        for (size_t i = 0; i < NameBytes && i < m_options.name.size(); ++i)
            name[1 + i] = uint8_t(m_options.name[i]);
        return WriteAll(name, sizeof name);
    }
    case QuerySerialBuffer:
        return Answer({Ack, 0xFF, 0xFF});
    case QueryBusType:
        return Answer({Ack, BusSpi});
    case QueryMaxWrite:
    case QueryMaxRead: {
        const uint32_t limit = opcode == QueryMaxWrite ? m_options.maxWrite : m_options.maxRead;
        if (limit == 0)
            return Answer({Nak});
        return Answer({Ack, uint8_t(limit), uint8_t(limit >> 8), uint8_t(limit >> 16)});
    }
    case SyncNop:
        ++m_syncs;
        return Answer({Nak, Ack});
    case SetBusType:
        return ReadExact(p, 1) && Answer({uint8_t((p[0] & BusSpi) ? Ack : Nak)});
    case SetPinState:
        ++m_pinChanges;
        return ReadExact(p, 1) && Answer({Ack});
    case SetSpiFrequency: {
        if (!ReadExact(p, 4))
            return false;
        const uint32_t hz = GetLe(p, 4);
        if (hz == 0)
            return Answer({Nak});
        const uint32_t used = std::min<uint32_t>(hz, m_options.fastestClockHz);
        return Answer({Ack, uint8_t(used), uint8_t(used >> 8), uint8_t(used >> 16), uint8_t(used >> 24)});
    }
    case SpiOperation:
        return RunSpiOperation();
    }
    return Answer({Nak});
}

bool CSerprogEmulator::RunSpiOperation()
{
    uint8_t lengths[6] = {};
    if (!ReadExact(lengths, sizeof lengths))
        return false;
    const uint32_t writeCount = GetLe(lengths, 3);
    const uint32_t readCount = GetLe(lengths + 3, 3);
    std::vector<uint8_t> out(writeCount);
    if (!ReadExact(out.data(), out.size()))
        return false;
    if ((m_options.maxWrite && writeCount > m_options.maxWrite) ||
        (m_options.maxRead && readCount > m_options.maxRead)) {
        ++m_refused;
        return Answer({Nak});
    }
    if (writeCount > m_largestWrite)
        m_largestWrite = writeCount;
    if (readCount > m_largestRead)
        m_largestRead = readCount;
    const int done = m_operations++;
    if (done == m_options.unplugAfterOperations) {
        std::lock_guard<std::mutex> lock(m_closeLock);
        ::close(m_master);
        ::close(m_slave);
        m_master = m_slave = -1;
        return false;
    }
    std::vector<uint8_t> answer(1 + readCount, 0xFF);
    answer[0] = Ack;
    m_chip.Transfer(out.data(), writeCount, answer.data() + 1, readCount);
    if (done == m_options.stallAfterOperations) {
        // Half the answer, then nothing: the host must give up on its own.
        WriteAll(answer.data(), answer.size() / 2);
        m_options.silent = true;
        return true;
    }
    return WriteAll(answer.data(), answer.size());
}

} // namespace xremu
