#include "engine/ScrambledHead.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

namespace engine {

namespace {

constexpr std::uint8_t kSyncByte = 0x47;
constexpr std::array<std::size_t, 3> kPacketSizes{188, 192, 204};
// Packets in a row that make a transport stream: chance alone puts seven sync bytes at one stride
// about once in 2^56 tries.
constexpr std::size_t kPacketsInARow = 7;
// Packs that make a program stream; each must carry the pack header's marker bits.
constexpr int kPacksNeeded = 3;
// MPEG-4 Visual frames (00 00 01 B6) that make its video: chance puts one such code in a block of
// random bytes about once in 8,000 blocks, and H.264's own start codes never end in B6.
constexpr int kFramesNeeded = 3;

// The sync-byte search reads only windows as long as the longest packet, one every kWindowStep
// bytes, and so skips most of a block of other data. No run is missed: its packets are no longer
// than a window, so it cannot step over one, and the gaps between windows are shorter than the
// shortest run (seven 188-byte packets, sync byte to sync byte), so it cannot fit in one either.
constexpr std::size_t kWindow = *std::max_element(kPacketSizes.begin(), kPacketSizes.end());
constexpr std::size_t kShortestRun =
    (kPacketsInARow - 1) * *std::min_element(kPacketSizes.begin(), kPacketSizes.end()) + 1;
constexpr std::size_t kWindowStep = kWindow + kShortestRun - 1;

// Calls `found` with the place of each `byte` in bytes[from, to) until it returns true; memchr finds
// them at the memory's speed.
template <typename Found>
bool AnyPlaceOf(std::span<const std::uint8_t> bytes, std::uint8_t byte, std::size_t from, std::size_t to,
                Found&& found) {
    const std::uint8_t* const data = bytes.data();
    while (from < to) {
        const void* const hit = std::memchr(data + from, byte, to - from);
        if (!hit) return false;
        const auto at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data);
        if (found(at)) return true;
        from = at + 1;
    }
    return false;
}

// Whether the sync byte at `at` is one of kPacketsInARow at the stride `size`, all within `bytes`.
bool InRunOfPackets(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t size) {
    std::size_t seen = 1;
    for (std::size_t back = at; seen < kPacketsInARow && back >= size && bytes[back - size] == kSyncByte;
         back -= size)
        ++seen;
    for (std::size_t ahead = at + size;
         seen < kPacketsInARow && ahead < bytes.size() && bytes[ahead] == kSyncByte; ahead += size)
        ++seen;
    return seen == kPacketsInARow;
}

bool IsTransportStream(std::span<const std::uint8_t> bytes) {
    const auto inRun = [bytes](std::size_t at) {
        return std::any_of(kPacketSizes.begin(), kPacketSizes.end(),
                           [&](std::size_t size) { return InRunOfPackets(bytes, at, size); });
    };
    if (bytes.size() < kShortestRun) return false;
    for (std::size_t window = 0; window < bytes.size(); window += kWindowStep)
        if (AnyPlaceOf(bytes, kSyncByte, window, std::min(window + kWindow, bytes.size()), inRun))
            return true;
    return false;
}

// After the 00 00 01 BA at `at`, an MPEG-2 pack header ('01' and its marker bits) or an MPEG-1 one
// ('0010' and its).
bool IsPackHeader(std::span<const std::uint8_t> bytes, std::size_t at) {
    if (at + 14 > bytes.size()) return false;
    const std::uint8_t* h = bytes.data() + at + 4;
    const bool mpeg2 =
        (h[0] & 0xC4) == 0x44 && (h[2] & 0x04) && (h[4] & 0x04) && (h[5] & 0x01) && (h[8] & 0x03) == 0x03;
    const bool mpeg1 =
        (h[0] & 0xF1) == 0x21 && (h[2] & 0x01) && (h[4] & 0x01) && (h[5] & 0x80) && (h[7] & 0x01);
    return mpeg2 || mpeg1;
}

// After each 01 that memchr finds, the start-code search looks at the next bytes itself, with no
// branch that bytes thick with 01 and zeros would mislead: else such bytes cost a call of memchr each.
constexpr std::size_t kLookAhead = 8;

// Program-stream packs and MPEG-4 Visual frames both begin with the start code 00 00 01: one search
// for its 01 tells both. Packs win over frames wherever each lies, as a program stream's video may be
// MPEG-4 Visual.
TContentKind StartCodeKind(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 4) return TContentKind::HeaderBound;
    const std::uint8_t* const data = bytes.data();
    const std::size_t end = bytes.size() - 1;  // a code's 01 has its kind after it
    int packs = 0;
    int frames = 0;
    for (std::size_t one = 2; one < end;) {
        const void* const hit = std::memchr(data + one, 1, end - one);
        if (!hit) break;
        one = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data);
        for (const std::size_t stop = std::min(end, one + kLookAhead); one < stop; ++one) {
            const std::uint8_t code = data[one + 1];
            if (!((data[one] == 1) & (data[one - 1] == 0) & (data[one - 2] == 0) &
                  ((code == 0xBA) | (code == 0xB6))))
                continue;
            if (code == 0xB6)
                ++frames;
            else if (IsPackHeader(bytes, one - 2) && ++packs == kPacksNeeded)
                return TContentKind::ProgramStream;
        }
    }
    return frames >= kFramesNeeded ? TContentKind::Mpeg4Visual : TContentKind::HeaderBound;
}

}  // namespace

TContentKind ContentKindOf(std::span<const std::uint8_t> bytes) {
    if (bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 &&
        std::memcmp(bytes.data() + 8, "AVI ", 4) == 0)
        return TContentKind::Avi;
    if (IsTransportStream(bytes)) return TContentKind::TransportStream;
    return StartCodeKind(bytes);
}

std::int32_t HeadBlocks(TContentKind kind, std::int32_t setting) {
    switch (kind) {
        case TContentKind::HeaderBound:
            return setting;
        case TContentKind::Avi:
        case TContentKind::Mpeg4Visual:
            return std::max(setting, kRawProbeHeadBlocks);
        case TContentKind::TransportStream:
        case TContentKind::ProgramStream:
            return std::max(setting, kStreamHeadBlocks);
    }
    return setting;
}

}  // namespace engine
