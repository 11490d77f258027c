#include "BuiltinTexts.h"

#include <iterator>

namespace {

// Texts added after the original table, in ascending index order. Each
// feature area owns a range of indexes so that its texts stay together and a
// language file can translate them by number; an index, once given, keeps its
// meaning. Latin-1 only, like the original table.
const AddedUiText s_addedTexts[] = {
    // 191-219: operation outcomes (failed reads, program and erase status)

    // 220-239: SPI parts (chip identity checks)

    // 240-279: real programmers (bridges, ports, permissions)

    // 280-299: main window (empty window, tool bars, settings folder)
    {280, "No target device is chosen. Choose the chip in the socket:"},
    {281, "This device is no longer in the device lists; the target stays as it was: "},
    {282, "The settings folder cannot be created or written:"},
    {283, "Settings, device lists, scripts and languages are kept in this folder instead:"},
    {284, "No folder for the settings can be written; settings are not kept."},

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
