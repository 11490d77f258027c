// Feeds arbitrary bytes to the simulated adapter's configuration reader as
// the INI file a test or a user wrote: it must report and fall back, never
// crash the host.

#include "SimConfig.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const xrsim::CSimConfig config = xrsim::ParseConfig(text, "fuzz.ini", "/nonexistent-fuzz-dir");
    (void)config;
    return 0;
}
