#pragma once

// The NAND engine's option controls, shown by the main window in its second
// tool bar: the block window every operation works in (first block and number
// of blocks) and whether a smart copy also copies the source's bad blocks.

#include <QWidget>

#include <cstdint>

class QCheckBox;
class QIntValidator;
class QLineEdit;

class CNandOptionsPanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int PanelWidth = 500;

    CNandOptionsPanel(uint32_t blockCount, QWidget *parent = nullptr);

    // What the edits hold, kept inside the chip: a start beyond the last block
    // reads as the last block, a count outside 1 .. blocks - start as the
    // largest count that fits.
    uint32_t startBlock() const;
    uint32_t blockCount() const;
    bool copySourceBadBlocks() const;

    QLineEdit *startEdit() const { return m_startEdit; }
    QLineEdit *countEdit() const { return m_countEdit; }
    QCheckBox *copyBadBlocksBox() const { return m_copyBadBlocks; }

signals:
    // The operator typed a start block; the count has followed it.
    void windowEdited(uint32_t startBlock, uint32_t blockCount);

private:
    void onStartEdited(const QString &text);

    uint32_t m_chipBlocks;
    QLineEdit *m_startEdit = nullptr;
    QLineEdit *m_countEdit = nullptr;
    QIntValidator *m_countValidator = nullptr;
    QCheckBox *m_copyBadBlocks = nullptr;
};
