// Placeholder exports until the simulator lands: no adapter is ever found.
#include <cstdint>

#define XRUSB_EXPORT extern "C" __attribute__((visibility("default")))

XRUSB_EXPORT int32_t func4(void) { return 0; }
XRUSB_EXPORT void func5(void) {}
XRUSB_EXPORT int32_t func3(const uint8_t *, uint8_t) { return 0; }
XRUSB_EXPORT int32_t func2(int32_t, const uint8_t *, int32_t) { return -1; }
XRUSB_EXPORT int32_t func1(int32_t, uint8_t *, int32_t) { return -1; }
XRUSB_EXPORT int32_t func6(void) { return 0; }
