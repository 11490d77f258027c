#include "SmartCopyLayout.h"

#include "BadBlockTable.h"

namespace SmartCopy {

CLayout LayOut(const CLayoutInput &in)
{
    CLayout layout;
    const uint32_t end = in.startBlock + in.blockCount;
    auto targetBad = [&](uint32_t block) { return in.targetState(block) == CBadBlockTable::Bad; };
    uint32_t s = in.startBlock;   // source block, chip-wide
    uint32_t index = 0;           // the same block, relative to the image
    uint32_t t = in.startBlock;   // target block, chip-wide
    while (in.blockCount > 0 && index < in.sourceBlocks && t < end) {
        // Bad target blocks get zeros; a source block bad at the same place
        // is passed over with them.
        while (t < end && targetBad(t)) {
            if (in.sourceState(s) == CBadBlockTable::Bad) {
                ++s;
                ++index;
            }
            layout.steps.push_back(ZeroBlock);
            ++t;
            if (t >= end) {
                layout.overflow = true;
                break;
            }
        }
        if (t >= end || index >= in.sourceBlocks)
            break;

        const uint32_t block = s++;
        const uint32_t blockIndex = index++;
        const bool take = in.sourceState(block) == CBadBlockTable::Good || in.copySourceBadBlocks;
        if (!take)
            continue;
        if (t == block || !in.sourceBlockBlank(blockIndex)) {
            layout.steps.push_back(int32_t(blockIndex));
            ++t;
        } else if (t <= block) {
            // A blank block behind the layout pads the target until it is
            // aligned with the source again.
            do {
                layout.steps.push_back(PadBlock);
                ++t;
            } while (t <= block && t < end && !targetBad(t));
        }
        // A blank block while the target is ahead is dropped: the padding at
        // the end restores the room.
    }
    while (t < end) {
        layout.steps.push_back(PadBlock);
        ++t;
    }
    return layout;
}

} // namespace SmartCopy
