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

    // 350-359: installation and command line

    // 360-389: reliability (adapter availability, files, device geometry)
    {360, "No adapter answers; still looking for one"},
    {361, "The adapter's firmware did not load; retrying"},
    {362, "The adapter did not come back after its firmware load; retrying"},
    {363, "The adapter stopped taking commands; retrying"},
    {364, "The adapter did not accept the target set-up; retrying"},
    {365, "Adapter answers again"},
    {366, "Adapter lost: operation cut off at address 0x%1"},
    {367, "Not loaded, not a regular file: %1"},
    {368, "%1 of the file's %2 bytes loaded, the chip holds %3 bytes"},
    {369, "%1 cannot be used: its geometry (%2) is not one of a NAND chip"},
    {370, "Read failed at address 0x%1: %2 could not be written (disk full?); the part read is kept as %3"},
    {371, "Read failed at address 0x%1: %2 could not be written (disk full?); the file was removed"},

    {0, nullptr} // end marker, not a text
};

} // namespace

const AddedUiText *AddedUiTexts(int *count)
{
    *count = int(std::size(s_addedTexts)) - 1;
    return s_addedTexts;
}
