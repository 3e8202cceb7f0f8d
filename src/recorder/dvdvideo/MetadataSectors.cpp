#include "recorder/dvdvideo/MetadataSectors.h"

#include "recorder/dvdvideo/DiscBytes.h"

#include <algorithm>
#include <cstring>

using DiscBytes::kSectorSize;

uint8_t* MetadataSectors::At(int64_t sector)
{
    std::vector<uint8_t>& block = sectors_[sector];
    if (block.empty())
        block.assign(kSectorSize, 0);
    return block.data();
}

void MetadataSectors::Put(int64_t first, const std::vector<uint8_t>& bytes)
{
    for (size_t offset = 0; offset < bytes.size(); offset += kSectorSize) {
        size_t count = std::min<size_t>(kSectorSize, bytes.size() - offset);
        std::memcpy(At(first + static_cast<int64_t>(offset / kSectorSize)), bytes.data() + offset, count);
    }
}

const uint8_t* MetadataSectors::Find(int64_t sector) const
{
    auto found = sectors_.find(sector);
    return found != sectors_.end() ? found->second.data() : nullptr;
}
