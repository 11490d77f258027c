#pragma once

// Error texts shared by the bridges: one line that names the device node and,
// for a refused node, how to get access to it.

#include <string>

namespace xrbridge {

// "permission denied on /dev/ttyACM0 (group dialout): ..." with the group that
// owns the node (read from the node itself) and the udev rules as the other fix.
std::string PermissionDeniedText(const std::string &node, const std::string &usualGroup);

// strerror(code) as a std::string.
std::string ErrnoText(int code);

// The udev rules file shipped with the program.
extern const char *const UdevRulesName;

} // namespace xrbridge
