#pragma once

// The adapter library's exports beyond the six of the vendor's interface.
// A host that does not know them never calls them; the vendor's library
// lacks them.

#include <cstdint>

namespace xrbridge {
struct CBridgeSeams;
}

extern "C" {

// Copies the oldest message of the library not yet taken (one line, no
// newline) into `buffer` with a terminating NUL, cut to `size` - 1 bytes;
// returns its length, 0 when there is none, -1 for a bad buffer.
__attribute__((visibility("default"))) int32_t xrusb_message(char *buffer, int32_t size);

// Puts stand-ins for the system under the bridges (null: the system
// itself). The adapter in use is closed first, with its bridge, so call it
// again with null before the stand-ins go away.
__attribute__((visibility("default"))) void xrusb_bridge_seams(const xrbridge::CBridgeSeams *seams);
}
