#include "engine/HeldBlocks.h"

#include <algorithm>

#include "engine/Trailer.h"

namespace engine {

THeldBlocks::THeldBlocks(std::int64_t limitBytes)
    : limit_(static_cast<std::size_t>(std::max<std::int64_t>(limitBytes, 0) / kBlockSize)) {
    blocks_.reserve(limit_);
}

std::span<const std::span<std::uint8_t>> THeldBlocks::Take(std::int64_t count) {
    const std::size_t wanted =
        std::min(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)), limit_ - used_);
    while (blocks_.size() < used_ + wanted) {
        storage_.push_back(
            std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(kBlockSize)));
        blocks_.emplace_back(storage_.back().get(), static_cast<std::size_t>(kBlockSize));
    }
    const std::span<const std::span<std::uint8_t>> taken(blocks_.data() + used_, wanted);
    used_ += wanted;
    return taken;
}

std::span<const std::span<std::uint8_t>> THeldBlocks::Extend(std::span<const std::span<std::uint8_t>> taken,
                                                             std::int64_t count) {
    const bool last = taken.empty() || taken.data() + taken.size() == blocks_.data() + used_;
    if (!last || count <= static_cast<std::int64_t>(taken.size())) return taken;
    const auto more = Take(count - static_cast<std::int64_t>(taken.size()));
    if (taken.empty()) return more;
    return {taken.data(), taken.size() + more.size()};
}

}  // namespace engine
