// Construction, the option panel's window, the simple slots and the message
// dispatch of the NAND engine. Detection, the read-type operations and the
// chip-changing operations live in NandDetection.cpp, NandReadOps.cpp and
// NandWriteOps.cpp.

#include "NandProgrammer.h"

#include "AppSettings.h"
#include "DeviceItemNand.h"
#include "FileMemoryNode.h"
#include "FirmwareImages.h"
#include "FrameServices.h"
#include "NandOptionsPanel.h"
#include "NandPackets.h"
#include "NandTexts.h"
#include "OutcomeTexts.h"

#include <QString>

#include <algorithm>
#include <cstdlib>
#include <vector>

int CNandProgrammer::s_chipEnables = 1;
CNandProgrammer::ChipId CNandProgrammer::s_lastUnknownId{};

namespace {
constexpr uint32_t InitialMaxTransfer = 0x8000;
const QString MainBufferName = QStringLiteral("Nand");
const QString TargetBufferName = QStringLiteral("Target");

const uint8_t *NandImage(bool boardType)
{
    // The setting "Board Type" names the board that needs the first image.
    return NandFirmware(boardType ? 1 : 2);
}
} // namespace

CNandProgrammer::CNandProgrammer(CDeviceItemNand *device, QObject *parent)
    : CProgrammer(device, parent)
{
    Q_ASSERT(device);
    m_altFirmware = AppSettings().ReadBool(SET_BOARD_TYPE, false);
    m_firmware = NandImage(m_altFirmware);

    const CNandGeometry geometry = CNandGeometry::FromDevice(*device);
    m_mainBuffer = static_cast<CFileMemoryNode *>(addBuffer(new CFileMemoryNode(MainBufferName, 0, geometry.chipBytes)));
    m_targetBuffer =
        static_cast<CFileMemoryNode *>(addBuffer(new CFileMemoryNode(TargetBufferName, 0, geometry.chipBytes)));
    applyGeometry(geometry);
    m_maxTransfer = InitialMaxTransfer;

    m_sourceBbt = std::make_unique<CBadBlockTable>(device);
    m_targetBbt = std::make_unique<CBadBlockTable>(device);
    m_startBlock = 0;
    m_blockCount = m_sourceBbt->count();
    m_capabilities = Capabilities;

    auto *panel = new CNandOptionsPanel(m_blockCount);
    connect(panel, &CNandOptionsPanel::windowEdited, this, [this](uint32_t start, uint32_t count) {
        m_startBlock = start;
        m_blockCount = count;
    });
    m_optionsPanel = panel;

    // The NAND buffers are files the operator names when they are made, so
    // the window's Save action has nothing to do for this engine.
    Frame()->SetSaveAllowed(false);
}

CNandProgrammer::~CNandProgrammer()
{
    // The worker calls afterCommandSent, which reads the buffers.
    stopWorker();
}

// --- set-up

bool CNandProgrammer::refuseUnservableGeometry() const
{
    const CDeviceItemNand *device = nandDevice();
    if (!device)
        return true;
    const QString fault = device->GeometryFault();
    if (fault.isEmpty())
        return false;
    LogString(Text(NandTextId::GeometryRefused).arg(device->m_name, fault));
    return true;
}

void CNandProgrammer::applyGeometry(const CNandGeometry &geometry)
{
    m_geometry = geometry;
    m_blockBytes = geometry.blockBytes;
    m_pagesPerChip = geometry.pagesPerChip;
}

CDeviceItemNand *CNandProgrammer::nandDevice() const
{
    return static_cast<CDeviceItemNand *>(m_device);
}

CNandOptionsPanel *CNandProgrammer::optionsPanelWidget() const
{
    return qobject_cast<CNandOptionsPanel *>(m_optionsPanel.data());
}

void CNandProgrammer::readPanelWindow()
{
    if (const CNandOptionsPanel *panel = optionsPanelWidget()) {
        m_startBlock = panel->startBlock();
        m_blockCount = panel->blockCount();
    }
}

void CNandProgrammer::setBufferWindows()
{
    const uint64_t base = uint64_t(m_startBlock) * m_blockBytes;
    const uint64_t size = uint64_t(m_blockCount) * m_blockBytes;
    for (CFileMemoryNode *node : {m_mainBuffer, m_targetBuffer}) {
        node->SetBaseAddress(base);
        node->SetNominalSize(size);
    }
}

void CNandProgrammer::queueReadId(uint8_t tag)
{
    queueCommand(NandPacket::ReadId(), -1, tag, NandPacket::IdReplyLength);
}

void CNandProgrammer::selectChipOfPage(uint64_t page, uint8_t &current)
{
    const uint8_t chipEnable = m_geometry.ChipEnableOf(page);
    if (chipEnable == current)
        return;
    if (chipEnable != NoChipEnable)
        selectChip(chipEnable);
    current = chipEnable;
}

CFileMemoryNode *CNandProgrammer::programSource() const
{
    // A target image (smart copy) is laid out for the chip in the socket and
    // wins over the plain image.
    return m_targetBuffer->GetSize() > 0 ? m_targetBuffer : m_mainBuffer;
}

// --- slots

void CNandProgrammer::afterCommandSent(const CProgCommand &record)
{
    streamProgramData(record, programSource());
}

void CNandProgrammer::saveBlocks(uint32_t firstBlock, uint32_t blockCount, const QString &path)
{
    const bool saved =
        m_mainBuffer->SaveRange(uint64_t(firstBlock) * m_blockBytes, uint64_t(blockCount) * m_blockBytes, path);
    LogString(path + QLatin1Char(' ') + Text(saved ? NandTextId::Saved : NandTextId::FileError));
}

void CNandProgrammer::setTarget(uint8_t adapterKind)
{
    Adapter::CTargetSetup setup;
    setup.adapterKind = adapterKind;
    setup.family = Adapter::FamilyNand;
    setup.columnBytes = m_geometry.columnBytes;
    setup.rowBytes = m_geometry.rowBytes;
    queueSetTarget(setup);
}

void CNandProgrammer::putLE32(uint8_t *destination, uint32_t value)
{
    Adapter::PutLE32(destination, value);
}

void CNandProgrammer::normalizeRange(uint64_t &address, uint64_t &length)
{
    readPanelWindow();
    const uint64_t chip = m_geometry.chipBytes;
    if (m_blockBytes == 0)
        return;
    address = address / m_blockBytes * m_blockBytes;
    length = length / m_blockBytes * m_blockBytes;
    if (address >= chip)
        address = 0;
    if (length == 0 || length > chip - address) {
        address = 0;
        length = chip;
    }
    const uint64_t windowStart = uint64_t(m_startBlock) * m_blockBytes;
    const uint64_t windowLength = uint64_t(m_blockCount) * m_blockBytes;
    if (address < windowStart) {
        const uint64_t before = windowStart - address;
        // A range that ends before the window keeps nothing of it.
        length = length > before ? length - before : 0;
        address = windowStart;
    }
    length = std::min(length, windowLength);
}

void CNandProgrammer::readIdAt(int32_t address)
{
    constexpr uint32_t PlainIdReplyLength = 4;
    queueCommand(NandPacket::ReadIdPlain(), address, Adapter::Tag::DetectId, PlainIdReplyLength);
}

CMemoryNode *CNandProgrammer::buffer(int index)
{
    switch (index) {
    case 0: return m_mainBuffer;
    case 1: return m_targetBuffer;
    default: return nullptr;
    }
}

bool CNandProgrammer::loadFile(const QString &path)
{
    if (refuseUnservableGeometry())
        return false;
    readPanelWindow();
    m_mainBuffer->CloseFile();
    m_targetBuffer->CloseFile();
    setBufferWindows();
    const bool loaded = m_mainBuffer->LoadFile(path, true);
    m_sourceBbt->reset();
    m_readMarkers.Clear();
    if (!loaded) {
        LogString(path + QLatin1Char(' ') + Text(NandTextId::FileError));
        return false;
    }
    buildSourceBbt();
    return true;
}

void CNandProgrammer::saveNamedBuffer(const QString &, const QString &) {}

void CNandProgrammer::fillRandom()
{
    if (!m_mainBuffer->CreateImageFile())
        return;
    const uint32_t pageSize = std::max<uint32_t>(m_geometry.pageSize, 2);
    std::vector<uint8_t> page(pageSize);
    for (uint64_t done = 0; done < m_geometry.chipBytes; done += pageSize) {
        for (uint32_t i = 0; i < pageSize; i += 2) {
            const uint16_t value = uint16_t(std::rand());
            page[i] = uint8_t(value);
            if (i + 1 < pageSize)
                page[i + 1] = uint8_t(value >> 8);
        }
        const uint64_t piece = std::min<uint64_t>(pageSize, m_geometry.chipBytes - done);
        if (!m_mainBuffer->Append(page.data(), piece)) {
            LogString(Text(NandTextId::FileError));
            break;
        }
    }
    Frame()->BufferChanged(m_mainBuffer);
}

bool CNandProgrammer::tryLockBuffer()
{
    return m_mainBuffer->TryLock();
}

void CNandProgrammer::unlockBuffer()
{
    m_mainBuffer->Unlock();
}

void CNandProgrammer::setSpeed(int speedIndex)
{
    queueCommand(NandPacket::Timing(speedIndex), -1, 0, 0);
}

void CNandProgrammer::configurePins()
{
    queueCommand(NandPacket::PinConfig(nandDevice()->m_pinLevel), -1, 0, 0);
    m_startBlock = 0;
    m_blockCount = m_sourceBbt->count();
}

void CNandProgrammer::switchFirmware()
{
    const bool boardType = !AppSettings().ReadBool(SET_BOARD_TYPE, false);
    AppSettings().WriteBool(SET_BOARD_TYPE, boardType);
    m_altFirmware = boardType;
    m_firmware = NandImage(boardType);
}

void CNandProgrammer::logChipSelects()
{
    LogString(QString::asprintf("CE Pin = %d", nandDevice()->m_ceCount));
}

void CNandProgrammer::setBadBlockViews(QWidget *sourceView, QWidget *targetView)
{
    m_sourceView = sourceView;
    m_targetView = targetView;
}

int CNandProgrammer::detectedChipEnables()
{
    return s_chipEnables;
}

CNandProgrammer::ChipId CNandProgrammer::lastUnknownId()
{
    return s_lastUnknownId;
}

void CNandProgrammer::clearLastUnknownId()
{
    s_lastUnknownId.fill(0);
}

// --- replies

bool CNandProgrammer::handleMessage(CProgMessage *message)
{
    if (!message)
        return false;
    switch (message->tag) {
    case Adapter::Tag::DetectId: return onDetectId(*message);
    case Adapter::Tag::ReadOpId:
    case Adapter::Tag::EraseOpId:
    case Adapter::Tag::ProgramOpId: return onOperationId(*message);
    case Adapter::Tag::ReadData: return onReadData(*message);
    case Adapter::Tag::VerifyData: return onVerifyData(*message);
    case Adapter::Tag::BlankData: return onBlankData(*message);
    case Adapter::Tag::BlockErased: return onBlockErased(*message);
    case Adapter::Tag::ChunkProgrammed: return onChunkProgrammed(*message);
    case Adapter::Tag::BadBlockMarker: return onTargetMarker(*message);
    case Adapter::Tag::SourceScanStep: return onSourceMarker(*message);
    case Adapter::Tag::SmartCopyStep: return onSmartCopyStep(*message);
    case Adapter::Tag::ParamPage: return onParamPage(*message);
    default: return false;
    }
}
