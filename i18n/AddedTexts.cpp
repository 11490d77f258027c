#include "BuiltinTexts.h"

#include <iterator>

namespace {

// Texts added after the original table, in ascending index order. Each
// feature area owns a range of indexes so that its texts stay together and a
// language file can translate them by number; an index, once given, keeps its
// meaning. Latin-1 only, like the original table.
const AddedUiText s_addedTexts[] = {
    // 191-219: operation outcomes (failed reads, program and erase status)
    {191, "No reply from the chip at address"},
    {192, "Erase failed at address"},
    {193, "Program failed at address"},
    {194, "Program status lost at address"},
    {195, "Erase status lost at address"},
    {196, "Nothing compared: every block of the range is marked bad"},
    {197, "Reply out of place at address"},
    {198, "Read"},
    {199, "Verify"},
    {200, "Blank check"},
    {201, "Erase"},
    {202, "Program"},
    {203, "Bad block scan"},
    {204, " failed: "},
    {205, "Target block is bad, its data was not written: block No. "},
    {206, "Reading the chip before programming..."},
    {207, "Sectors that need an erase: "},

    // 220-239: SPI parts (chip identity checks)
    {220, "The chip answers ID %1, but the selected device %2 has ID %3. Erase or program it anyway?"},

    // 240-279: real programmers (bridges, ports, permissions)

    // 280-299: main window (empty window, tool bars, settings folder)

    // 300-349: production runs (reports, serial numbers, headless runs)

    // 350-359: installation and command line

    // 360-389: reliability (adapter availability, files, device geometry)

    {0, nullptr} // end marker, not a text
};

} // namespace

const AddedUiText *AddedUiTexts(int *count)
{
    *count = int(std::size(s_addedTexts)) - 1;
    return s_addedTexts;
}
