#pragma once
// The floor the batch benchmarks measure a toggle against: the same open, trailer read, block reads
// and writes, trailer append or cut (and with `keepTime`, time restore) as a toggle of `blocks`
// blocks, the bytes written back unchanged, no transform and no journal. `block` is one block of
// scratch space, laid out once by the caller as the transform lays out its own.

#include <span>
#include <string>
#include <vector>

#include "engine/Trailer.h"
#include "platform/FileIo.h"

namespace benchfloor {

inline void BareToggle(const std::string& path, bool encrypt, std::int64_t blocks, bool keepTime,
                       std::span<std::uint8_t> block) {
    std::vector<std::uint8_t> trailer(engine::kTrailerSize);
    const auto file = platform::localFileSystem().open(path, platform::FileAccess::ReadWrite);
    const auto time = file->lastWriteTime();
    const auto size = file->size();
    file->readAt(size - engine::kTrailerSize, trailer);
    if (encrypt) file->writeAt(size, trailer);
    for (std::int64_t b = 0; b < blocks; ++b) {
        file->readAt(b * engine::kBlockSize, block);
        file->writeAt(b * engine::kBlockSize, block);
    }
    if (!encrypt) file->setSize(size - engine::kTrailerSize);
    if (keepTime) file->setLastWriteTime(time);
}

}  // namespace benchfloor
