#include "BridgeErrors.h"

#include <cstring>
#include <grp.h>
#include <sys/stat.h>

namespace xrbridge {

const char *const UdevRulesName = "70-norvaplex.rules";

std::string ErrnoText(int code)
{
    return std::strerror(code);
}

std::string PermissionDeniedText(const std::string &node, const std::string &usualGroup)
{
    std::string group = usualGroup;
    struct stat st {};
    if (::stat(node.c_str(), &st) == 0) {
        if (const struct group *owner = ::getgrgid(st.st_gid))
            group = owner->gr_name;
    }
    std::string text = "permission denied on " + node;
    if (!group.empty() && group != "root")
        text += ": add your user to the group '" + group + "' (sudo usermod -aG " + group +
                " $USER, then log in again), or";
    else
        text += ":";
    text += std::string(" install the udev rules ") + UdevRulesName +
            " into /etc/udev/rules.d (then sudo udevadm control --reload and replug the programmer)";
    return text;
}

} // namespace xrbridge
