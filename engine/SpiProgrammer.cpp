#include "SpiProgrammer.h"

#include "DeviceItemSPIFlash.h"
#include "FirmwareImages.h"
#include "FrameServices.h"
#include "MemoryNode.h"
#include "SpiProtocol.h"
#include "UiText.h"

#include <QApplication>
#include <QCheckBox>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

constexpr int SpiFirmwareCount = 5;
constexpr uint32_t CapabilityErase = 1u << 1;
constexpr uint32_t CapabilityBlankCheck = 1u << 2;
constexpr uint32_t EngineMaxTransfer = 0x8000;
constexpr unsigned RandomSeed = 0x1234567;
constexpr int TextBusy = 74;

const char BufferName[] = "SPI";
const char SingleIoText[] = "Single IO";

} // namespace

CSpiProgrammer::CSpiProgrammer(CDeviceItemSPIFlash *device, QObject *parent)
    : CProgrammer(device, parent)
{
    if (device->m_algo >= uint32_t(SpiFirmwareCount))
        device->m_algo = 0;
    m_firmware = SpiFirmware(int(device->m_algo));
    if (device->m_algo == CSpiGeometry::AlgoNoErase)
        m_capabilities &= ~(CapabilityErase | CapabilityBlankCheck);

    m_buffer = addBuffer(new CMemoryNode(QString::fromLatin1(BufferName), 0, device->m_size, 0xFF));
    Frame()->SetSaveAllowed(true);
    m_maxTransfer = EngineMaxTransfer;

    // Widgets need a GUI application; a console-only host goes without the
    // option and reads on one line, as the option's default says.
    if (device->m_ioMode > 1 && qobject_cast<QApplication *>(QCoreApplication::instance())) {
        m_singleIo = new QCheckBox(QString::fromLatin1(SingleIoText));
        m_singleIo->setChecked(true);
        m_optionsPanel = m_singleIo.data();
        connect(m_singleIo, &QCheckBox::toggled, this, [this] { Frame()->ApplySpeed(Spi()->m_speed); });
    }
}

CSpiProgrammer::~CSpiProgrammer()
{
    stopWorker();
}

CDeviceItemSPIFlash *CSpiProgrammer::Spi() const
{
    // Detection replaces the entry only by another SPI entry.
    return static_cast<CDeviceItemSPIFlash *>(m_device);
}

CSpiGeometry CSpiProgrammer::Geometry() const
{
    return CSpiGeometry(*Spi(), packetSize());
}

bool CSpiProgrammer::SingleLine() const
{
    return Spi()->m_ioMode <= 1 || !m_singleIo || m_singleIo->isChecked();
}

CSpiProgrammer::COpcodes CSpiProgrammer::Opcodes() const
{
    const CDeviceItemSPIFlash &spi = *Spi();
    if (SingleLine() || (spi.m_ioMode != 2 && spi.m_ioMode != 4))
        return {spi.m_opRead, spi.m_opProgram, Adapter::Spi::ModeSingle};
    if (spi.m_ioMode == 2)
        return {spi.m_opDualRead, spi.m_opDualProgram, Adapter::Spi::ModeDual};
    return {spi.m_opQuadRead, spi.m_opQuadProgram, Adapter::Spi::ModeQuad};
}

// --- slots

void CSpiProgrammer::afterCommandSent(const CProgCommand &record)
{
    streamProgramData(record, m_buffer, m_programUnit);
}

void CSpiProgrammer::setTarget(uint8_t adapterKind)
{
    Adapter::CTargetSetup setup;
    setup.adapterKind = adapterKind;
    setup.family = Adapter::FamilySpi;
    setup.spiAlgorithm = uint8_t(std::min<uint32_t>(Spi()->m_algo, 0xFF));
    queueSetTarget(setup);
}

void CSpiProgrammer::putLE32(uint8_t *destination, uint32_t value)
{
    Adapter::PutLE32(destination, value);
}

void CSpiProgrammer::StoreRange(uint64_t address, uint64_t length, int opCode)
{
    // The console hands in normalised ranges; a direct caller gets the same
    // whole-sector range, so every batch below works on whole units.
    normalizeRange(address, length);
    m_address = address;
    m_length = length;
    m_opCode = opCode;
}

int CSpiProgrammer::startReadOp(uint64_t address, uint64_t length, int opCode)
{
    StoreRange(address, length, opCode);
    queueCommand(Adapter::Spi::ReadIdPacket(Adapter::Spi::ShortPacketLength), -1, Adapter::Tag::ReadOpId,
                 Adapter::Spi::IdReplyLength);
    return opCode;
}

int CSpiProgrammer::startErase(uint64_t address, uint64_t length)
{
    StoreRange(address, length, EraseCode);
    m_programPending = false;
    queueCommand(Adapter::Spi::ReadIdPacket(Adapter::Spi::ShortPacketLength), -1, Adapter::Tag::EraseOpId,
                 Adapter::Spi::IdReplyLength);
    return EraseCode;
}

int CSpiProgrammer::startProgram(uint64_t address, uint64_t length)
{
    StoreRange(address, length, ProgramCode);
    queueCommand(Adapter::Spi::ReadIdPacket(Adapter::Spi::ShortPacketLength), -1, Adapter::Tag::ProgramOpId,
                 Adapter::Spi::IdReplyLength);
    return ProgramCode;
}

void CSpiProgrammer::normalizeRange(uint64_t &address, uint64_t &length)
{
    const uint64_t size = Spi()->m_size;
    const uint64_t sector = std::max<uint32_t>(Spi()->m_sectorSize, 1);
    address = address / sector * sector;
    length = length / sector * sector;
    if (address >= size)
        address = 0;
    if (length == 0 || length > size - address) {
        address = 0;
        length = size;
    }
}

void CSpiProgrammer::readIdAt(int32_t address)
{
    queueCommand(Adapter::Spi::PlainReadIdPacket(), address, Adapter::Tag::DetectId, Adapter::Spi::IdReplyLength);
}

int CSpiProgrammer::detect()
{
    queueCommand(Adapter::Spi::ReadIdPacket(Adapter::Spi::LongPacketLength), -1, Adapter::Tag::DetectId,
                 Adapter::Spi::IdReplyLength);
    if (Spi()->m_algo == CSpiGeometry::AlgoAt45)
        queueCommand(Adapter::Spi::At45StatusPacket(), -1, Adapter::Tag::At45Status,
                     Adapter::Spi::At45StatusReplyLength);
    return DetectCode;
}

void CSpiProgrammer::probeChip()
{
    queueCommand(Adapter::Spi::ReadIdPacket(Adapter::Spi::LongPacketLength), -1, Adapter::Tag::ChipProbe,
                 Adapter::Spi::IdReplyLength);
}

CMemoryNode *CSpiProgrammer::buffer(int index)
{
    return index == 0 ? m_buffer : nullptr;
}

bool CSpiProgrammer::loadFile(const QString &path)
{
    // A program operation streams from the buffer: it must not change meanwhile.
    if (!m_buffer->TryLock()) {
        LogString(Text(TextBusy));
        return false;
    }
    const bool loaded = m_buffer->LoadFile(path, true);
    m_buffer->Unlock();
    return loaded;
}

void CSpiProgrammer::saveNamedBuffer(const QString &bufferName, const QString &path)
{
    if (bufferName == m_buffer->GetName())
        m_buffer->SaveFile(path);
}

void CSpiProgrammer::fillRandom()
{
    if (!m_buffer->TryLock()) {
        LogString(Text(TextBusy));
        return;
    }
    std::srand(RandomSeed);
    const uint64_t size = Spi()->m_size;
    const uint32_t sector = std::max<uint32_t>(Spi()->m_sectorSize, 1);
    std::vector<uint8_t> piece((sector + 1) & ~1u);
    for (uint64_t offset = 0; offset < size; offset += sector) {
        for (size_t i = 0; i < piece.size(); i += 2)
            Adapter::PutLE16(&piece[i], uint16_t(std::rand()));
        const uint32_t n = uint32_t(std::min<uint64_t>(sector, size - offset));
        m_buffer->WriteAt(piece.data(), m_buffer->GetBaseAddress() + offset, n);
    }
    m_buffer->Unlock();
}

bool CSpiProgrammer::tryLockBuffer()
{
    return m_buffer->TryLock();
}

void CSpiProgrammer::unlockBuffer()
{
    m_buffer->Unlock();
}

void CSpiProgrammer::setSpeed(int speedIndex)
{
    const Adapter::Spi::CSpiTiming timing = Adapter::Spi::TimingFor(speedIndex, Spi()->m_ioMode, SingleLine());
    queueCommand(Adapter::Spi::TimingPacket(timing), -1, 0, 0);
}

void CSpiProgrammer::configurePins()
{
    queueCommand(Adapter::Spi::ConfigurePacket(*Spi()), -1, 0, 0);
}
