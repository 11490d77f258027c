#include "BlockGeometry.h"

#include "DeviceItemNand.h"

CBlockGeometry NandBlockGeometry(const CDeviceItem *device, uint64_t stateCount)
{
    const auto *nand = dynamic_cast<const CDeviceItemNand *>(device);
    if (!nand)
        return {};
    return CBlockGeometry{nand->m_pageSize, nand->m_pagesPerBlock, stateCount};
}
