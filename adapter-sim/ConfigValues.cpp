#include "ConfigValues.h"
#include "IniFile.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace xrsim {

std::optional<bool> ParseBool(const std::string &text)
{
    const std::string value = Lower(text);
    if (value == "true" || value == "1" || value == "yes" || value == "on")
        return true;
    if (value == "false" || value == "0" || value == "no" || value == "off")
        return false;
    return std::nullopt;
}

static std::optional<uint64_t> ParseNumber(const std::string &text)
{
    std::string digits = text;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits = digits.substr(2);
        base = 16;
    }
    if (digits.empty())
        return std::nullopt;
    for (char c : digits) {
        const bool ok = base == 16 ? std::isxdigit(static_cast<unsigned char>(c)) != 0
                                   : std::isdigit(static_cast<unsigned char>(c)) != 0;
        if (!ok)
            return std::nullopt;
    }
    errno = 0;
    const unsigned long long value = std::strtoull(digits.c_str(), nullptr, base);
    if (errno == ERANGE)
        return std::nullopt;
    return value;
}

std::optional<uint64_t> ParseUnsigned(const std::string &text, uint64_t min, uint64_t max)
{
    const auto value = ParseNumber(Trim(text));
    if (!value || *value < min || *value > max)
        return std::nullopt;
    return value;
}

std::optional<double> ParseReal(const std::string &text, double min, double max)
{
    const std::string value = Trim(text);
    if (value.empty())
        return std::nullopt;
    char *end = nullptr;
    errno = 0;
    const double number = std::strtod(value.c_str(), &end);
    if (errno == ERANGE || end != value.c_str() + value.size() || !std::isfinite(number))
        return std::nullopt;
    if (number < min || number > max)
        return std::nullopt;
    return number;
}

static std::vector<std::string> SplitItems(const std::string &text, const std::string &separators)
{
    std::vector<std::string> items;
    std::string current;
    for (char c : text) {
        if (separators.find(c) != std::string::npos || std::isspace(static_cast<unsigned char>(c))) {
            if (!current.empty())
                items.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        items.push_back(current);
    return items;
}

std::optional<std::vector<uint8_t>> ParseHexBytes(const std::string &text, size_t minCount, size_t maxCount)
{
    std::vector<uint8_t> bytes;
    for (std::string item : SplitItems(text, ",:-")) {
        if (item.size() > 2 && item[0] == '0' && (item[1] == 'x' || item[1] == 'X'))
            item = item.substr(2);
        else if (item.size() > 1 && (item.back() == 'h' || item.back() == 'H'))
            item.pop_back();
        if (item.empty() || item.size() > 2)
            return std::nullopt;
        for (char c : item)
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return std::nullopt;
        bytes.push_back(uint8_t(std::strtoul(item.c_str(), nullptr, 16)));
    }
    if (bytes.size() < minCount || bytes.size() > maxCount)
        return std::nullopt;
    return bytes;
}

std::optional<std::vector<uint64_t>> ParseNumberList(const std::string &text)
{
    std::vector<uint64_t> numbers;
    for (const std::string &item : SplitItems(text, ",")) {
        const auto value = ParseNumber(item);
        if (!value)
            return std::nullopt;
        numbers.push_back(*value);
    }
    return numbers;
}

std::optional<std::vector<std::pair<uint64_t, uint64_t>>> ParsePairList(const std::string &text)
{
    std::vector<std::pair<uint64_t, uint64_t>> pairs;
    for (const std::string &item : SplitItems(text, ",")) {
        const size_t colon = item.find(':');
        if (colon == std::string::npos)
            return std::nullopt;
        const auto first = ParseNumber(item.substr(0, colon));
        const auto second = ParseNumber(item.substr(colon + 1));
        if (!first || !second)
            return std::nullopt;
        pairs.emplace_back(*first, *second);
    }
    return pairs;
}

} // namespace xrsim
