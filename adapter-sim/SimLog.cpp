#include "SimLog.h"

#include <cstdio>

namespace xrsim {

void Warn(const std::string &message)
{
    std::fprintf(stderr, "xrusb-sim: %s\n", message.c_str());
    std::fflush(stderr);
}

} // namespace xrsim
