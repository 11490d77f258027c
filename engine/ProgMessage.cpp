#include "ProgMessage.h"

CProgMessage::CProgMessage(uint8_t tag_, int32_t address_, uint32_t size_, bool withData)
    : address(address_), size(size_), tag(tag_)
{
    // Zero-filled: a marker's block is never read uninitialised.
    if (withData && size_ > 0)
        data.reset(new uint8_t[size_]());
}

CProgMessage::~CProgMessage() = default;
