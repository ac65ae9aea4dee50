#pragma once
// How much of a file a new encryption scrambles. Containers that keep their index in the head (MP4,
// MKV, ...) are unplayable with the setting's few blocks. Stream formats (MPEG transport and program
// streams) are made to be joined mid-stream: a player that finds valid packets anywhere in the
// megabytes it probes plays everything after them, so they need a longer head. So do AVI files and
// MPEG-4 Visual (Xvid, DivX) in any container: its frames carry their own start codes, and a
// player that cannot read the scrambled container takes the file for a raw video stream once its
// probe finds them past the head. The kind is told by the content, not the name: a transport stream
// renamed to .mp4 still plays as one.

#include <cstdint>
#include <span>

namespace engine {

enum class TContentKind {
    HeaderBound,      // anything else
    Avi,              // RIFF AVI
    Mpeg4Visual,      // MPEG-4 Visual frames with their start codes, in any container
    TransportStream,  // MPEG-TS: .ts, .m2ts, .mts, .tp, ...
    ProgramStream,    // MPEG-PS: .mpg, .mpeg, .vob, .m2p, ...
};

// The blocks after which the players people use (ffmpeg, mpv, VLC, GStreamer) decode nothing of a file
// of that kind, measured (docs/players.md): their probe windows end within them. mpv probes the first
// 10 MiB (20 blocks); a raw-video probe that sees frames past a shorter head plays the file for one
// key in two.
inline constexpr std::int32_t kStreamHeadBlocks = 64;
inline constexpr std::int32_t kRawProbeHeadBlocks = 32;  // AVI, MPEG-4 Visual

// What `bytes`, a file's first bytes or bytes from further in, hold: a RIFF AVI header at their
// start, or anywhere in them a run of transport-stream packets (the sync byte 0x47 every 188 bytes,
// 192 with the time code of camera and disc recordings, or 204 with error correction), of
// program-stream packs (pack headers with their marker bits) or MPEG-4 Visual frames (VOP start
// codes).
TContentKind ContentKindOf(std::span<const std::uint8_t> bytes);

// The blocks a new encryption of a file of that kind scrambles: the setting, and never fewer than its
// kind needs. The trailer records the number, so restoring needs nothing of this.
std::int32_t HeadBlocks(TContentKind kind, std::int32_t setting);

// Whether a file of that kind can be played from any point: a player forced to its format decodes
// whatever lies past the scrambled head, however long the head is.
constexpr bool IsStream(TContentKind kind) {
    return kind == TContentKind::TransportStream || kind == TContentKind::ProgramStream;
}

}  // namespace engine
