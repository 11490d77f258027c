#pragma once

// The simulator's only voice towards the user: one line on stderr per
// problem, prefixed so it stands out among the host's own output.

#include <string>

namespace xrsim {

void Warn(const std::string &message);

} // namespace xrsim
