#include "ReadCorrection.h"

#include <bit>

namespace ReadCorrection {

namespace {

QString Hex(uint64_t value)
{
    return QString::number(value, 16).toUpper();
}

QString Byte(uint8_t value)
{
    return QString::asprintf("%02X", value);
}

} // namespace

Outcome CorrectChunk(uint8_t *chunk, const std::vector<const uint8_t *> &others, uint32_t size,
                     uint64_t windowOffset, const QString &failedText, QStringList &log)
{
    Outcome outcome = Outcome::Continue;
    for (uint32_t i = 0; i < size; ++i) {
        const uint8_t m = chunk[i];
        const uint8_t *differing = nullptr;
        for (const uint8_t *other : others) {
            if (other[i] != m) {
                differing = &other[i];
                break;
            }
        }
        if (!differing)
            continue;
        const uint8_t c = *differing;
        const QString offset = QLatin1Char(' ') + Hex(windowOffset + i);
        if (std::popcount(unsigned(c ^ m)) > 1) {
            // More than a read error: nothing after this position can be trusted.
            log << failedText + offset + QStringLiteral(" ,") + Byte(m) + QStringLiteral(", ") + Byte(c);
            return Outcome::Stop;
        }
        int votesMain = 1; // the main read itself
        int votesOther = 0;
        for (const uint8_t *other : others) {
            if (other[i] == m) {
                ++votesMain;
            } else if (other[i] == c) {
                ++votesOther;
            } else {
                log << failedText + offset + QStringLiteral(" ,") + Byte(m) + QLatin1Char(',') + Byte(other[i]);
                outcome = Outcome::LastChunk;
                break;
            }
        }
        if (votesOther > votesMain)
            chunk[i] = c;
        log << offset + QStringLiteral(" use ") + Byte(chunk[i]);
    }
    return outcome;
}

} // namespace ReadCorrection
