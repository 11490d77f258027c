#pragma once

// Readers for the value syntaxes of the configuration file. Each returns
// nothing when the text does not fit, so the caller can keep the default.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace xrsim {

std::optional<bool> ParseBool(const std::string &text);
// Decimal or 0x hexadecimal, within [min, max].
std::optional<uint64_t> ParseUnsigned(const std::string &text, uint64_t min, uint64_t max);
std::optional<double> ParseReal(const std::string &text, double min, double max);
// Hex bytes separated by blanks, commas, colons or dashes ("EC F1 00").
std::optional<std::vector<uint8_t>> ParseHexBytes(const std::string &text, size_t minCount, size_t maxCount);
// Numbers separated by commas or blanks; an empty text is an empty list.
std::optional<std::vector<uint64_t>> ParseNumberList(const std::string &text);
// "a:b" pairs separated by commas or blanks.
std::optional<std::vector<std::pair<uint64_t, uint64_t>>> ParsePairList(const std::string &text);

} // namespace xrsim
