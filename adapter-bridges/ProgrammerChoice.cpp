#include "ProgrammerChoice.h"

#include "Ch341aBus.h"
#include "SerprogBus.h"
#include "SpidevBus.h"

#include <charconv>
#include <vector>

namespace xrbridge {

namespace {

std::vector<std::string> SplitCommas(const std::string &text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            return parts;
        start = comma + 1;
    }
}

std::string Trimmed(const std::string &text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool ParseNumber(const std::string &text, uint32_t &value)
{
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

} // namespace

std::string ProgrammerName(EProgrammer kind)
{
    switch (kind) {
    case EProgrammer::Simulated: return "sim";
    case EProgrammer::Serprog: return "serprog";
    case EProgrammer::Ch341a: return "ch341a";
    case EProgrammer::Spidev: return "spidev";
    }
    return "sim";
}

bool ParseProgrammer(const std::string &text, CProgrammerChoice &choice, std::string &error)
{
    const std::string line = Trimmed(text);
    const size_t colon = line.find(':');
    const std::string name = Trimmed(line.substr(0, colon));
    CProgrammerChoice parsed;
    if (name.empty() || name == "sim" || name == "simulated")
        parsed.kind = EProgrammer::Simulated;
    else if (name == "serprog")
        parsed.kind = EProgrammer::Serprog;
    else if (name == "ch341a")
        parsed.kind = EProgrammer::Ch341a;
    else if (name == "spidev")
        parsed.kind = EProgrammer::Spidev;
    else {
        error = "unknown programmer '" + name + "' (sim, serprog:PORT, ch341a or spidev:NODE)";
        return false;
    }
    std::vector<std::string> parts =
        colon == std::string::npos ? std::vector<std::string>() : SplitCommas(line.substr(colon + 1));
    if (!parts.empty()) {
        parsed.node = Trimmed(parts.front());
        parts.erase(parts.begin());
    }
    const bool needsNode = parsed.kind == EProgrammer::Serprog || parsed.kind == EProgrammer::Spidev;
    if (needsNode && parsed.node.empty()) {
        error = ProgrammerName(parsed.kind) + " needs its device node, e.g. " +
                (parsed.kind == EProgrammer::Serprog ? "serprog:/dev/ttyACM0" : "spidev:/dev/spidev0.0");
        return false;
    }
    if (!needsNode && !parsed.node.empty()) {
        error = ProgrammerName(parsed.kind) + " takes no device node";
        return false;
    }
    for (const std::string &part : parts) {
        const size_t equals = part.find('=');
        const std::string key = Trimmed(part.substr(0, equals));
        uint32_t value = 0;
        if (equals == std::string::npos || !ParseNumber(Trimmed(part.substr(equals + 1)), value)) {
            error = "malformed programmer option '" + Trimmed(part) + "' (key=number)";
            return false;
        }
        if (key == "hz" && parsed.kind != EProgrammer::Ch341a)
            parsed.clockHz = value;
        else if (key == "baud" && parsed.kind == EProgrammer::Serprog)
            parsed.baud = value;
        else if (key == "settle_ms" && parsed.kind == EProgrammer::Serprog && value <= 10000)
            parsed.settleMs = int(value);
        else {
            error = "option '" + key + "' does not apply to " + ProgrammerName(parsed.kind);
            return false;
        }
    }
    choice = parsed;
    return true;
}

std::unique_ptr<xrbus::ISpiBus> OpenBridge(const CProgrammerChoice &choice, const CBridgeSeams &seams,
                                           std::string &error)
{
    switch (choice.kind) {
    case EProgrammer::Serprog: {
        CSerprogOptions options;
        options.baud = choice.baud;
        options.settleMs = choice.settleMs;
        options.clockHz = choice.clockHz;
        return CSerprogBus::Open(choice.node, options, error);
    }
    case EProgrammer::Ch341a:
        return CCh341aBus::Open(seams.usb ? *seams.usb : LibusbOpener(), error);
    case EProgrammer::Spidev:
        return CSpidevBus::Open(seams.spidev ? *seams.spidev : SystemSpidevIo(), choice.node, choice.clockHz, error);
    case EProgrammer::Simulated:
        break;
    }
    error = "the simulated adapter has no bridge";
    return nullptr;
}

} // namespace xrbridge
