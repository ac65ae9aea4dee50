#pragma once
// Blocks held in memory from the journal's reading of a group to their rewriting, so that each block
// of a toggle is read from its file once. A group's blocks must all be read (for their fingerprints)
// before the first of them changes; holding them costs memory, so the pool has a bound, and the blocks
// of a group beyond it are read again when they are rewritten.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace engine {

class THeldBlocks {
public:
    // At most `limitBytes`, in whole blocks; each block is allocated when a group first needs it and
    // reused by every later group.
    explicit THeldBlocks(std::int64_t limitBytes);

    // A new group: every block may be taken again.
    void Release() noexcept { used_ = 0; }
    // Up to `count` blocks for one file, fewer (or none) when the bound is reached. They stay valid
    // until Release.
    std::span<const std::span<std::uint8_t>> Take(std::int64_t count);
    // `taken`, the blocks taken last, grown to `count` blocks as far as the bound allows.
    std::span<const std::span<std::uint8_t>> Extend(std::span<const std::span<std::uint8_t>> taken,
                                                    std::int64_t count);

private:
    std::size_t limit_;  // in blocks
    std::size_t used_ = 0;
    std::vector<std::unique_ptr<std::uint8_t[]>> storage_;
    std::vector<std::span<std::uint8_t>> blocks_;  // reserved to the bound: spans into it never move
};

}  // namespace engine
