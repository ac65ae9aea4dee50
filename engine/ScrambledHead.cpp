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

bool IsTransportStream(std::span<const std::uint8_t> bytes) {
    for (const std::size_t size : kPacketSizes) {
        const std::size_t run = size * (kPacketsInARow - 1);
        if (bytes.size() <= run) continue;
        for (std::size_t at = 0; at + run < bytes.size(); ++at) {
            if (bytes[at] != kSyncByte) continue;
            std::size_t seen = 1;
            while (seen < kPacketsInARow && bytes[at + seen * size] == kSyncByte) ++seen;
            if (seen == kPacketsInARow) return true;
        }
    }
    return false;
}

// 00 00 01 BA, then an MPEG-2 pack header ('01' and its marker bits) or an MPEG-1 one ('0010' and its).
bool IsPackHeader(std::span<const std::uint8_t> bytes, std::size_t at) {
    if (at + 14 > bytes.size()) return false;
    if (bytes[at] != 0 || bytes[at + 1] != 0 || bytes[at + 2] != 1 || bytes[at + 3] != 0xBA) return false;
    const std::uint8_t* h = bytes.data() + at + 4;
    const bool mpeg2 =
        (h[0] & 0xC4) == 0x44 && (h[2] & 0x04) && (h[4] & 0x04) && (h[5] & 0x01) && (h[8] & 0x03) == 0x03;
    const bool mpeg1 =
        (h[0] & 0xF1) == 0x21 && (h[2] & 0x01) && (h[4] & 0x01) && (h[5] & 0x80) && (h[7] & 0x01);
    return mpeg2 || mpeg1;
}

bool IsProgramStream(std::span<const std::uint8_t> bytes) {
    int packs = 0;
    for (std::size_t at = 0; at + 4 <= bytes.size(); ++at)
        if (bytes[at + 3] == 0xBA && IsPackHeader(bytes, at) && ++packs == kPacksNeeded) return true;
    return false;
}

bool HoldsMpeg4VisualFrames(std::span<const std::uint8_t> bytes) {
    int frames = 0;
    for (std::size_t at = 0; at + 4 <= bytes.size(); ++at)
        if (bytes[at + 3] == 0xB6 && bytes[at + 2] == 1 && bytes[at + 1] == 0 && bytes[at] == 0 &&
            ++frames == kFramesNeeded)
            return true;
    return false;
}

}  // namespace

TContentKind ContentKindOf(std::span<const std::uint8_t> bytes) {
    if (bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 &&
        std::memcmp(bytes.data() + 8, "AVI ", 4) == 0)
        return TContentKind::Avi;
    if (IsTransportStream(bytes)) return TContentKind::TransportStream;
    if (IsProgramStream(bytes)) return TContentKind::ProgramStream;
    if (HoldsMpeg4VisualFrames(bytes)) return TContentKind::Mpeg4Visual;
    return TContentKind::HeaderBound;
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
