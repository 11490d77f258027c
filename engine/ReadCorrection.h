#pragma once

// The vote of a multiple read file correction over one chunk: the main read
// is repaired where other reads of the same chip outvote it by a single
// flipped bit. Positions that cannot be decided end the correction.

#include <QStringList>

#include <cstdint>
#include <vector>

namespace ReadCorrection {

enum class Outcome {
    Continue,   // the chunk is done; go on with the next one
    LastChunk,  // the chunk is done, but a third value was seen: stop after it
    Stop        // two or more bits differ: the rest of the chunk was left as it was
};

// Corrects chunk (the main read's bytes) in place from others (each at least
// size bytes, the same positions). windowOffset is the chunk's offset from
// the start of the window, for the log lines appended to log.
Outcome CorrectChunk(uint8_t *chunk, const std::vector<const uint8_t *> &others, uint32_t size,
                     uint64_t windowOffset, const QString &failedText, QStringList &log);

} // namespace ReadCorrection
