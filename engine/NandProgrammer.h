#pragma once

// The programmer engine for NAND flash chips. On top of the worker base it
// knows the chip's geometry, detects the chip (a second chip enable and
// unknown chips included), reads, verifies, blank-checks, erases and
// programs it, and keeps two bad-block tables: the source table (bad blocks
// of the image in the main buffer, from the markers in its spare areas) and
// the target table (bad blocks of the chip in the socket, read after an
// erase).
//
// Every operation is a chain on the GUI thread: the engine queues the ID read
// with the operation's own tag, the ID reply is checked ("Are you sure?" for
// a missing chip), then the operation's command batch is queued and its
// replies are handed to the window's progress services as they arrive.
//
// Operations work in a window of blocks (start block and number of blocks)
// chosen in the option panel; both buffers always share that window.

#include "BadBlockTable.h"
#include "ImageMarkerTally.h"
#include "NandGeometry.h"
#include "NandReplyLayout.h"
#include "NandWindowLink.h"
#include "Programmer.h"

#include <QPointer>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class CDeviceItemNand;
class CFileMemoryNode;
class CNandOptionsPanel;

class CNandProgrammer : public CProgrammer, public CNandWindowLink
{
    Q_OBJECT

public:
    static constexpr int IdBytes = 6;
    using ChipId = std::array<uint8_t, IdBytes>;

    // Completion codes of the operations (their tags).
    static constexpr int DetectCode = 'H';
    static constexpr int EraseCode = 'G';
    static constexpr int ProgramCode = 'D';
    // Capability mask: Detect, Erase and Blank check, no bit 6, bit 4 set.
    static constexpr uint32_t Capabilities = 0x9F;

    explicit CNandProgrammer(CDeviceItemNand *device, QObject *parent = nullptr);
    ~CNandProgrammer() override;

    // --- engine slots
    void afterCommandSent(const CProgCommand &record) override;
    void saveBlocks(uint32_t firstBlock, uint32_t blockCount, const QString &path) override;
    void setTarget(uint8_t adapterKind) override;
    void putLE32(uint8_t *destination, uint32_t value) override;
    int startReadOp(uint64_t address, uint64_t length, int opCode) override;
    int startErase(uint64_t address, uint64_t length) override;
    int startProgram(uint64_t address, uint64_t length) override;
    void normalizeRange(uint64_t &address, uint64_t &length) override;
    void readIdAt(int32_t address) override;
    int detect() override;
    CMemoryNode *buffer(int index) override;
    bool handleMessage(CProgMessage *message) override;
    bool loadFile(const QString &path) override;
    void saveNamedBuffer(const QString &bufferName, const QString &path) override;
    void fillRandom() override;
    bool tryLockBuffer() override;
    void unlockBuffer() override;
    void setSpeed(int speedIndex) override;
    void configurePins() override;
    void switchFirmware() override;
    void logChipSelects() override;
    void newChip() override;
    int correctFromFiles(bool refuse) override;
    int correctFromFileList(const QStringList &paths) override;
    int smartCopy() override;
    void probeChip() override;
    // Queues the target steps that fill the target buffer with the image
    // laid out for the socket chip's bad blocks; the last one programs it.
    bool buildTargetImage();

    // --- what the main window needs besides the slots
    const CBadBlockTable *sourceBbt() const override { return m_sourceBbt.get(); }
    const CBadBlockTable *targetBbt() const override { return m_targetBbt.get(); }
    void setBadBlockViews(QWidget *sourceView, QWidget *targetView) override;
    QWidget *sourceView() const { return m_sourceView; }
    QWidget *targetView() const { return m_targetView; }
    // The read-completion check: queues the scan of the source markers, paced
    // by 'T' markers; false (and a logged reason, if any) when not queued.
    bool buildSourceBbt() override;
    // The scan after an erase, over the erased range: 0x37 per block, 'N'.
    void buildTargetBbt() override;

    // --- state, for the window, the console and tests
    CFileMemoryNode *mainBuffer() const { return m_mainBuffer; }
    CFileMemoryNode *targetBuffer() const { return m_targetBuffer; }
    CNandOptionsPanel *optionsPanelWidget() const;
    const CNandGeometry &geometry() const { return m_geometry; }
    CDeviceItemNand *nandDevice() const;
    uint32_t startBlock() const { return m_startBlock; }
    uint32_t blockCount() const { return m_blockCount; }
    uint32_t markerOffset() const { return m_markerOffset; }
    bool isIdKnown() const { return m_idKnown; }

    // Shared by every NAND engine of the process: the chip-enable count the
    // last detection found, and the ID of the last chip no entry knew (all
    // zero when none; a device defined from it keeps being accepted).
    static int detectedChipEnables();
    static ChipId lastUnknownId();
    static void clearLastUnknownId();

private:
    // True, with one line in the log, when the entry's geometry is none the
    // engine can serve: every operation on the chip is refused then.
    bool refuseUnservableGeometry() const;
    void failReadIntoFile(uint64_t chipAddress);
    // --- set-up
    void applyGeometry(const CNandGeometry &geometry);
    // The window typed in the panel, into m_startBlock and m_blockCount.
    void readPanelWindow();
    // Both buffers get the block window as base address and nominal size.
    void setBufferWindows();
    void queueReadId(uint8_t tag);
    // selectChip for the chip enable of page unless it cannot be computed.
    void selectChipOfPage(uint64_t page, uint8_t &current);
    CFileMemoryNode *programSource() const;

    // --- detection (NandDetection.cpp)
    bool onDetectId(const CProgMessage &message);
    bool identify(const ChipId &id);
    void acceptDevice(CDeviceItemNand *entry);
    void askForParameterPage(const ChipId &id);
    bool onOperationId(const CProgMessage &message);

    // --- read-type operations (NandReadOps.cpp)
    void runReadOp();
    bool onReadData(const CProgMessage &message);
    bool onVerifyData(const CProgMessage &message);
    bool onBlankData(const CProgMessage &message);
    // A reply piece of the read-type operation that the worker could not
    // read, or one that is not the next piece of the range: the operation
    // fails naming the chip address. False when the piece is in place.
    bool failsReadAccounting(const CProgMessage &message, const CNandReplyLayout::CPlace &place);
    bool endsReadRange(const CNandReplyLayout::CPlace &place) const;
    // The read into a new image notes each block's marker as it arrives.
    void beginMarkerTally();

    // --- erase, program and bad-block scans (NandWriteOps.cpp)
    void runErase();
    void runProgram();
    bool onBlockErased(const CProgMessage &message);
    bool onChunkProgrammed(const CProgMessage &message);
    // Chip bytes from page on before the next block the target table marks
    // bad, at most limit.
    uint64_t bytesBeforeBadTargetBlock(uint64_t page, uint64_t limit) const;
    // The first block of the range that the target table marks bad while
    // the image holds data for it (its source block is good); -1 if none.
    int64_t goodDataOnBadTargetBlock() const;
    bool onTargetMarker(const CProgMessage &message);
    bool onSourceMarker(const CProgMessage &message);
    // Fills the source table from the markers the last read saw; false when
    // that read did not cover the image (the scan of the file is needed).
    bool takeMarkersOfRead();
    // Block (counted from the window's start) of the image is good or bad.
    void noteSourceBlock(uint32_t block, bool good);
    void finishSourceScan();

    // --- chips no entry knows (NandNewDevice.cpp)
    bool onParamPage(const CProgMessage &message);
    void defineUnknownChip(const ChipId &id);

    // --- smart copy (NandSmartCopy.cpp)
    bool onSmartCopyStep(const CProgMessage &message);
    void finishTargetImage();
    // The queue was emptied (Stop, a lost link) since the copy began: its
    // remaining steps are gone.
    bool copyCutShort() const;
    // Throws away the partial target image of a copy that was cut short,
    // so that no later program or verify takes it for the laid-out image.
    void dropUnfinishedCopy();

    CFileMemoryNode *m_mainBuffer = nullptr;   // owned through m_buffers
    CFileMemoryNode *m_targetBuffer = nullptr; // owned through m_buffers
    std::unique_ptr<CBadBlockTable> m_sourceBbt;
    std::unique_ptr<CBadBlockTable> m_targetBbt;
    uint32_t m_markerOffset = 0;
    uint64_t m_blockBytes = 0;
    uint32_t m_pagesPerChip = 0;
    uint32_t m_startBlock = 0;
    uint32_t m_blockCount = 0;
    bool m_idKnown = true;
    bool m_probingSecondCe = false;
    ChipId m_firstId{};

    CNandGeometry m_geometry;
    // Where the replies of the read-type operation under way belong.
    CNandReplyLayout m_readLayout;
    bool m_appendFailed = false;
    // The markers of the image being read, for the source table after it.
    CImageMarkerTally m_readMarkers;
    // The chip address the next reply piece must start at, and the chip
    // bytes of the verify that lay outside bad blocks (so were compared).
    uint64_t m_readNext = 0;
    uint64_t m_verifiedBytes = 0;
    // Blocks whose erase failed in the erase under way; the first of them
    // that the target table knew as good (a block gone bad), if any.
    std::vector<uint32_t> m_eraseFailedBlocks;
    int64_t m_grownBadBlock = -1;
    // First page of the erase, first block of the target scan under way.
    uint32_t m_eraseFirstPage = 0;
    uint32_t m_scanFirstBlock = 0;
    // Target steps handled so far and their number (smart copy).
    uint32_t m_copyStep = 0;
    uint32_t m_copySteps = 0;
    // The queue's clear count when the copy was asked for.
    uint32_t m_copyQueueClears = 0;
    QPointer<QWidget> m_sourceView;
    QPointer<QWidget> m_targetView;

    static int s_chipEnables;
    static ChipId s_lastUnknownId;
};
