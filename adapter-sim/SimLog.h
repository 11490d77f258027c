#pragma once

// The library's voice towards the user: one line per problem on stderr,
// prefixed so it stands out among the host's own output, and the same line
// kept for a host that asks for the library's messages (the application
// shows them in its log). Only the latest lines are kept for a host that
// never asks.

#include <string>

namespace xrsim {

void Warn(const std::string &message);

// The oldest message not yet taken; false when there is none.
bool TakeMessage(std::string &message);

} // namespace xrsim
