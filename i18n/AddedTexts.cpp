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
    {208, "Connection to the adapter lost during the operation"},

    // 220-239: SPI parts (chip identity checks)
    {220, "The chip answers ID %1, but the selected device %2 has ID %3. Erase or program it anyway?"},

    // 240-279: real programmers (bridges, ports, permissions)
    {240, "Programmer..."},
    {241, "Choose the programmer: the simulated adapter or a real one and its port"},
    {242, "Programmer"},
    {243, "sim  the simulated adapter\n"
          "serprog:/dev/ttyACM0[,baud=N][,settle_ms=N][,hz=N]  a serial programmer (Pico, STM32, Arduino)\n"
          "ch341a  a CH341A board in SPI mode\n"
          "spidev:/dev/spidev0.0[,hz=N]  the SPI port of a single-board computer\n"
          "Empty: the adapter configuration file decides (the simulated adapter by default)."},
    {244, "Programmer: %1"},
    {245, "the adapter configuration file's choice"},
    {246, "Adapter: %1"},
    {247, "Use this programmer for this run: sim, serprog:PORT, ch341a or spidev:NODE"},

    // 280-299: main window (empty window, tool bars, settings folder)
    {280, "No target device is chosen. Choose the chip in the socket:"},
    {281, "This device is no longer in the device lists; the target stays as it was: "},
    {282, "The settings folder cannot be created or written:"},
    {283, "Settings, device lists, scripts and languages are kept in this folder instead:"},
    {284, "No folder for the settings can be written; settings are not kept."},

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
    {350, "Usage: %1 [options]"},
    {351, "Desktop software of a USB programmer for NAND and SPI flash chips."},
    {352, "Options:"},
    {353, "Show this help and exit"},
    {354, "Show the version and exit"},
    {355, "Unknown option: %1"},
    {356, "The option %1 needs a value"},
    {357, "Unexpected argument: %1"},
    {358, "The option %1 takes no value"},
    {359, "Options of the Qt toolkit (-platform, -style and others) are accepted as well."},

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
    {370, "%2 could not be written at address 0x%1 (disk full?); the part read is kept as %3"},
    {371, "%2 could not be written at address 0x%1 (disk full?); the file was removed"},
    {372, "The chip's ID did not arrive; the operation did not start"},

    {0, nullptr} // end marker, not a text
};

} // namespace

const AddedUiText *AddedUiTexts(int *count)
{
    *count = int(std::size(s_addedTexts)) - 1;
    return s_addedTexts;
}
