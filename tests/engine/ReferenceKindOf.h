#pragma once
// The content sniffer as it was before it searched with memchr: a byte-by-byte scan per kind, kept
// unchanged so the tests can hold today's sniffer to the very same decisions and the benchmark can
// show what the search gained.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "engine/ScrambledHead.h"

namespace referencekind {

using engine::TContentKind;

constexpr std::uint8_t kSyncByte = 0x47;
constexpr std::array<std::size_t, 3> kPacketSizes{188, 192, 204};
constexpr std::size_t kPacketsInARow = 7;
constexpr int kPacksNeeded = 3;
constexpr int kFramesNeeded = 3;

inline bool IsTransportStream(std::span<const std::uint8_t> bytes) {
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

inline bool IsPackHeader(std::span<const std::uint8_t> bytes, std::size_t at) {
    if (at + 14 > bytes.size()) return false;
    if (bytes[at] != 0 || bytes[at + 1] != 0 || bytes[at + 2] != 1 || bytes[at + 3] != 0xBA) return false;
    const std::uint8_t* h = bytes.data() + at + 4;
    const bool mpeg2 =
        (h[0] & 0xC4) == 0x44 && (h[2] & 0x04) && (h[4] & 0x04) && (h[5] & 0x01) && (h[8] & 0x03) == 0x03;
    const bool mpeg1 =
        (h[0] & 0xF1) == 0x21 && (h[2] & 0x01) && (h[4] & 0x01) && (h[5] & 0x80) && (h[7] & 0x01);
    return mpeg2 || mpeg1;
}

inline bool IsProgramStream(std::span<const std::uint8_t> bytes) {
    int packs = 0;
    for (std::size_t at = 0; at + 4 <= bytes.size(); ++at)
        if (bytes[at + 3] == 0xBA && IsPackHeader(bytes, at) && ++packs == kPacksNeeded) return true;
    return false;
}

inline bool HoldsMpeg4VisualFrames(std::span<const std::uint8_t> bytes) {
    int frames = 0;
    for (std::size_t at = 0; at + 4 <= bytes.size(); ++at)
        if (bytes[at + 3] == 0xB6 && bytes[at + 2] == 1 && bytes[at + 1] == 0 && bytes[at] == 0 &&
            ++frames == kFramesNeeded)
            return true;
    return false;
}

inline TContentKind ReferenceKindOf(std::span<const std::uint8_t> bytes) {
    if (bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 &&
        std::memcmp(bytes.data() + 8, "AVI ", 4) == 0)
        return TContentKind::Avi;
    if (IsTransportStream(bytes)) return TContentKind::TransportStream;
    if (IsProgramStream(bytes)) return TContentKind::ProgramStream;
    if (HoldsMpeg4VisualFrames(bytes)) return TContentKind::Mpeg4Visual;
    return TContentKind::HeaderBound;
}

}  // namespace referencekind
