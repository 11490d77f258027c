// Multiple read file correction: several reads of the same chip, each with
// its own random read errors, are compared block by block with the image in
// the main buffer, and the majority byte of every single-bit difference goes
// to a new image file.

#include "NandProgrammer.h"

#include "FileMemoryNode.h"
#include "FrameServices.h"
#include "NandTexts.h"
#include "ReadCorrection.h"
#include "SelectFilesDialog.h"

#include <QApplication>

#include <algorithm>
#include <memory>
#include <vector>

int CNandProgrammer::correctFromFiles(bool refuse)
{
    readPanelWindow();
    if (refuse || m_blockBytes == 0 || m_mainBuffer->GetSize() != m_geometry.chipBytes)
        return CorrectionRefused;

    QStringList paths;
    {
        CSelectFilesDialog dialog(m_mainBuffer->GetFilePath(), QApplication::activeWindow());
        if (dialog.exec() != QDialog::Accepted)
            return CorrectionCancelled;
        paths = dialog.paths();
    }
    return correctFromFileList(paths);
}

int CNandProgrammer::correctFromFileList(const QStringList &paths)
{
    readPanelWindow();
    if (m_blockBytes == 0 || m_mainBuffer->GetSize() != m_geometry.chipBytes)
        return CorrectionRefused;
    if (paths.size() < 2) {
        LogString(Text(NandTextId::FileError));
        return CorrectionFailed;
    }

    const uint64_t windowBase = uint64_t(m_startBlock) * m_blockBytes;
    const uint64_t windowBytes = uint64_t(m_blockCount) * m_blockBytes;
    auto output = std::make_unique<CFileMemoryNode>(QStringLiteral("Nand"), windowBase, windowBytes);
    if (!output->CreateImageFile())
        return CorrectionFailed;

    std::vector<std::unique_ptr<CFileMemoryNode>> reads;
    for (const QString &path : paths) {
        auto read = std::make_unique<CFileMemoryNode>(QStringLiteral("Nand"), windowBase, windowBytes);
        if (!read->LoadFile(path, false) || read->GetSize() != m_mainBuffer->GetSize()) {
            LogString(Text(NandTextId::Error));
            return CorrectionFailed;
        }
        reads.push_back(std::move(read));
    }

    const uint32_t chunkBytes = uint32_t(m_blockBytes);
    const uint64_t total = m_mainBuffer->GetSize();
    std::vector<uint8_t> chunk(chunkBytes);
    std::vector<std::vector<uint8_t>> otherChunks(reads.size(), std::vector<uint8_t>(chunkBytes));
    std::vector<const uint8_t *> others;
    for (const auto &other : otherChunks)
        others.push_back(other.data());
    for (uint64_t offset = 0; offset < total; offset += chunkBytes) {
        const uint32_t size = uint32_t(std::min<uint64_t>(chunkBytes, total - offset));
        bool complete = m_mainBuffer->Read(offset, chunk.data(), size) == size;
        for (size_t k = 0; k < reads.size(); ++k)
            complete = complete && reads[k]->Read(offset, otherChunks[k].data(), size) == size;
        if (!complete) {
            // A file that shrank under us: stop rather than vote on missing bytes.
            LogString(Text(NandTextId::Error));
            return CorrectionFailed;
        }
        QStringList lines;
        const ReadCorrection::Outcome outcome = ReadCorrection::CorrectChunk(
            chunk.data(), others, size, offset, Text(NandTextId::CompareFailed), lines);
        for (const QString &line : lines)
            LogString(line);
        if (!output->Append(chunk.data(), size)) {
            LogString(Text(NandTextId::FileError));
            return CorrectionFailed;
        }
        if (outcome != ReadCorrection::Outcome::Continue)
            break;
    }
    // The output file stays where the user put it.
    return CorrectionDone;
}
