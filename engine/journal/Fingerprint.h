#pragma once
// The fingerprints a journal entry keeps of the blocks a toggle rewrites: a 32-bit fingerprint of every
// 512-byte sector, and a 64-bit digest of the block. XOR and inversion are their own inverse, so these
// are all recovery needs to tell, sector by sector, whether a video holds its original bytes or the
// transformed ones. They guard against torn writes and tell sectors apart; salted per entry, so that
// no video's content can be chosen to collide, but not a defence against whoever writes the journal
// (that is what the journal folder's ownership is for).

#include <cstdint>
#include <span>
#include <vector>

#include "engine/Trailer.h"

namespace engine::journal {

inline constexpr std::int64_t kSectorSize = 512;
inline constexpr std::int64_t kSectorsPerBlock = kBlockSize / kSectorSize;
// One block's record in an entry: the sectors' fingerprints, then the block's digest.
inline constexpr std::int64_t kBlockRecordSize = kSectorsPerBlock * 4 + 8;

// A running checksum over byte ranges; what an entry's last 8 bytes hold.
class Checksum {
public:
    void add(std::span<const std::uint8_t> bytes);
    std::uint64_t value() const noexcept { return value_; }

private:
    std::uint64_t value_ = 0x51ED270B27D4EB2Full;
};

// Computes the digests of blocks for one entry's salt. Holds its scratch space, laid out once.
class BlockFingerprints {
public:
    BlockFingerprints();

    void useSalt(std::uint64_t salt) noexcept { salt_ = salt; }
    // The full 64-bit digest of each sector of `block` (kBlockSize bytes); the record keeps their low
    // 32 bits.
    std::span<const std::uint64_t> sectors(std::span<const std::uint8_t> block);
    // The block's record (kBlockRecordSize bytes) for `block`.
    void record(std::span<const std::uint8_t> block, std::span<std::uint8_t> out);
    // The digest of a block whose sectors have these digests.
    static std::uint64_t blockDigest(std::span<const std::uint64_t> sectorDigests);

private:
    std::uint64_t salt_ = 0;
    std::vector<std::uint64_t> lanes_;
    std::vector<std::uint64_t> digests_;
};

// The fingerprint of sector `s` and the block digest, as a record stores them.
std::uint32_t RecordedSector(std::span<const std::uint8_t> record, std::size_t s);
std::uint64_t RecordedBlock(std::span<const std::uint8_t> record);

}  // namespace engine::journal
