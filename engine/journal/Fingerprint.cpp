#include "engine/journal/Fingerprint.h"

#include <algorithm>
#include <cstring>

namespace engine::journal {

namespace {

// Eight independent lanes of multiply-accumulate over 64-byte stripes, written so that the compiler
// vectorises them.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
void accumulateStripes(std::uint64_t* __restrict lanes, const std::uint8_t* __restrict data, std::size_t stripes) {
    std::uint64_t acc[8];
    for (int j = 0; j < 8; ++j) acc[j] = lanes[j];
    for (std::size_t s = 0; s < stripes; ++s) {
        for (std::size_t j = 0; j < 8; ++j) {
            std::uint64_t v;
            std::memcpy(&v, data + (s * 8 + j) * 8, 8);
            const std::uint64_t k = v ^ (0x9E3779B97F4A7C15ull * (j + 1));
            acc[j] += v + static_cast<std::uint64_t>(static_cast<std::uint32_t>(k)) * (k >> 32);
        }
    }
    for (int j = 0; j < 8; ++j) lanes[j] = acc[j];
}

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
constexpr std::uint64_t rotl(std::uint64_t x, int r) {
    return (x << r) | (x >> (64 - r));
}

std::uint64_t foldLanes(const std::uint64_t* lanes, std::uint64_t seed) {
    for (int j = 0; j < 8; ++j) seed = rotl(seed ^ lanes[j], 27) * kPrime1 + kPrime2;
    seed ^= seed >> 29;
    seed *= kPrime2;
    return seed ^ (seed >> 32);
}

// The lanes of every sector of a block at once, in one vectorised pass; `lanes` holds 8 per sector.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
void sectorLanes(const std::uint8_t* __restrict block, std::uint64_t salt, std::uint64_t* __restrict lanes) {
    constexpr std::size_t kStripes = kSectorSize / 64;
    for (std::size_t s = 0; s < static_cast<std::size_t>(kSectorsPerBlock); ++s) {
        std::uint64_t acc[8];
        for (std::size_t j = 0; j < 8; ++j) acc[j] = salt * (2 * j + 1);
        const std::uint8_t* sector = block + s * static_cast<std::size_t>(kSectorSize);
        for (std::size_t t = 0; t < kStripes; ++t) {
            for (std::size_t j = 0; j < 8; ++j) {
                std::uint64_t v;
                std::memcpy(&v, sector + (t * 8 + j) * 8, 8);
                const std::uint64_t k = v ^ (0x9E3779B97F4A7C15ull * (j + 1));
                acc[j] += v + static_cast<std::uint64_t>(static_cast<std::uint32_t>(k)) * (k >> 32);
            }
        }
        for (std::size_t j = 0; j < 8; ++j) lanes[s * 8 + j] = acc[j];
    }
}

}  // namespace

void Checksum::add(std::span<const std::uint8_t> bytes) {
    std::uint64_t lanes[8] = {};
    const std::size_t whole = bytes.size() / 64;
    accumulateStripes(lanes, bytes.data(), whole);
    std::uint8_t last[64] = {};
    if (bytes.size() > whole * 64) std::memcpy(last, bytes.data() + whole * 64, bytes.size() - whole * 64);
    accumulateStripes(lanes, last, 1);
    value_ = rotl(value_ ^ foldLanes(lanes, bytes.size()), 29) * kPrime2 + bytes.size();
}

BlockFingerprints::BlockFingerprints()
    : lanes_(static_cast<std::size_t>(kSectorsPerBlock) * 8),
      digests_(static_cast<std::size_t>(kSectorsPerBlock)) {}

std::span<const std::uint64_t> BlockFingerprints::sectors(std::span<const std::uint8_t> block) {
    sectorLanes(block.data(), salt_, lanes_.data());
    for (std::size_t s = 0; s < digests_.size(); ++s)
        digests_[s] = foldLanes(lanes_.data() + s * 8, salt_ ^ static_cast<std::uint64_t>(s));
    return digests_;
}

void BlockFingerprints::record(std::span<const std::uint8_t> block, std::span<std::uint8_t> out) {
    const auto digests = sectors(block);
    for (std::size_t s = 0; s < digests.size(); ++s) {
        const auto fingerprint = static_cast<std::uint32_t>(digests[s]);
        std::memcpy(out.data() + s * 4, &fingerprint, 4);
    }
    const std::uint64_t whole = blockDigest(digests);
    std::memcpy(out.data() + kSectorsPerBlock * 4, &whole, 8);
}

std::uint64_t BlockFingerprints::blockDigest(std::span<const std::uint64_t> sectorDigests) {
    Checksum sum;
    sum.add({reinterpret_cast<const std::uint8_t*>(sectorDigests.data()), sectorDigests.size_bytes()});
    return sum.value();
}

std::uint32_t RecordedSector(std::span<const std::uint8_t> record, std::size_t s) {
    std::uint32_t value;
    std::memcpy(&value, record.data() + s * 4, 4);
    return value;
}

std::uint64_t RecordedBlock(std::span<const std::uint8_t> record) {
    std::uint64_t value;
    std::memcpy(&value, record.data() + kSectorsPerBlock * 4, 8);
    return value;
}

}  // namespace engine::journal
