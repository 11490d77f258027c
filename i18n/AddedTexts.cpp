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

    // 300-349: production runs (reports, serial numbers, headless runs)
    {300, "Operation failed, the script goes on at %1"},
    {301, "Operation failed: the script waits (Enter goes on, any other text ends it)"},
    {302, "Time-out: the operation did not end within %1 ms"},
    {303, "Script name is not valid UTF-8: %1"},
    {304, "Answered yes: %1"},
    {305, "Answered no: %1"},
    {306, "No file name given by the script: %1"},
    {307, "File: %1"},
    {308, "Usage: answer yes|no|ask"},
    {309, "A running script takes no pasted lines"},

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
