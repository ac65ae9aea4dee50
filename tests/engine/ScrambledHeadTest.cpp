// Stream formats and AVI get the longer head their kind needs, told by their content wherever a player
// would find it; every other file keeps the setting, and every file comes back byte for byte.
#include <gtest/gtest.h>

#include <cstring>

#include "EngineTestUtil.h"
#include "engine/ScrambledHead.h"

using namespace engine;
using namespace enginetest;
using testsupport::patternBytes;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

// Random bytes with a transport-stream packet every `size` bytes from `from` on: the sync byte after
// `prefix` bytes of time code.
std::vector<std::uint8_t> transportStream(std::size_t bytes, std::size_t size = 188, std::size_t prefix = 0,
                                          std::size_t from = 0) {
    auto data = patternBytes(bytes, 7);
    for (std::size_t at = from + prefix; at < bytes; at += size) data[at] = 0x47;
    return data;
}

// Random bytes with an MPEG-2 pack header every 2048 bytes (a DVD's sector).
std::vector<std::uint8_t> programStream(std::size_t bytes) {
    auto data = patternBytes(bytes, 9);
    const std::uint8_t pack[] = {0, 0, 1, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x01, 0x89, 0xC3, 0xF8};
    for (std::size_t at = 0; at + sizeof pack < bytes; at += 2048) std::memcpy(&data[at], pack, sizeof pack);
    return data;
}

// Random bytes with an MPEG-4 Visual frame (its VOP start code) every `every` bytes from `from` on.
std::vector<std::uint8_t> mpeg4Frames(std::size_t bytes, std::size_t every = 30'000, std::size_t from = 0) {
    auto data = patternBytes(bytes, 13);
    const std::uint8_t vop[] = {0, 0, 1, 0xB6};
    for (std::size_t at = from; at + sizeof vop < bytes; at += every) std::memcpy(&data[at], vop, sizeof vop);
    return data;
}

std::vector<std::uint8_t> avi(std::size_t bytes) {
    auto data = patternBytes(bytes, 11);
    std::memcpy(data.data(),
                "RIFF\x10\x00\x00\x01"
                "AVI LIST",
                16);
    return data;
}

TEST(ContentKind, IsToldByTheBytesNotTheName) {
    EXPECT_EQ(ContentKindOf(transportStream(kBlock)), TContentKind::TransportStream);
    EXPECT_EQ(ContentKindOf(transportStream(kBlock, 192, 4)), TContentKind::TransportStream) << "M2TS, MTS";
    EXPECT_EQ(ContentKindOf(transportStream(kBlock, 204)), TContentKind::TransportStream);
    EXPECT_EQ(ContentKindOf(transportStream(kBlock, 188, 0, 100'003)), TContentKind::TransportStream)
        << "packets after other data";
    EXPECT_EQ(ContentKindOf(programStream(kBlock)), TContentKind::ProgramStream);
    EXPECT_EQ(ContentKindOf(avi(kBlock)), TContentKind::Avi);
    EXPECT_EQ(ContentKindOf(mpeg4Frames(kBlock)), TContentKind::Mpeg4Visual) << "Xvid in MKV or MP4";
    EXPECT_EQ(ContentKindOf(mpeg4Frames(kBlock, kBlock / 2 + 10)), TContentKind::HeaderBound)
        << "two frame codes can be chance";

    EXPECT_EQ(ContentKindOf(patternBytes(kBlock, 3)), TContentKind::HeaderBound);
    // Six packets are chance, not a stream.
    auto six = patternBytes(kBlock, 3);
    for (std::size_t i = 0; i < 6; ++i) six[5000 + i * 188] = 0x47;
    EXPECT_EQ(ContentKindOf(six), TContentKind::HeaderBound);
    // MP4 stores a 442-byte frame's length as 00 00 01 BA: without the pack header's marker bits it is
    // no pack.
    auto lengths = patternBytes(kBlock, 4);
    for (std::size_t at = 0; at + 16 < kBlock; at += 446) {
        const std::uint8_t length[] = {0, 0, 1, 0xBA, 0x65, 0x88, 0x80, 0x40};
        std::memcpy(&lengths[at], length, sizeof length);
    }
    EXPECT_EQ(ContentKindOf(lengths), TContentKind::HeaderBound);
}

TEST(ContentKind, AStreamFileGetsTheLongerHeadAndComesBackWhole) {
    TempDir dir;
    constexpr std::size_t size = (kStreamHeadBlocks + 2) * kBlock + 1234;
    struct Case {
        const char* name;
        std::vector<std::uint8_t> plain;
        std::int32_t setting;
        std::int32_t scrambled;
        bool whole = false;  // the option to scramble streams whole
    };
    constexpr auto wholeBlocks = static_cast<std::int32_t>(size / kBlock);
    const Case cases[] = {
        {"recording.ts", transportStream(size), 8, kStreamHeadBlocks},
        // Renamed, and with its packets only after the setting's head: a player still finds them there.
        {"renamed.mp4", transportStream(size, 188, 0, 8 * kBlock + 77), 8, kStreamHeadBlocks},
        {"dvd.vob", programStream(size), 8, kStreamHeadBlocks},
        {"set higher.m2ts", transportStream(size, 192, 4), kStreamHeadBlocks + 1, kStreamHeadBlocks + 1},
        {"holiday.avi", avi(size), 8, kRawProbeHeadBlocks},
        // Its frames begin past the setting's head, where a raw-video probe finds them.
        {"xvid.mkv", mpeg4Frames(size, 40'000, 8 * kBlock + 5), 8, kRawProbeHeadBlocks},
        {"film.mkv", patternBytes(size, 5), 8, 8},
        // Whole: every whole block; the part block before the trailer is left, as every reader expects.
        {"whole.ts", transportStream(size), 8, wholeBlocks, true},
        {"whole.vob", programStream(size), 8, wholeBlocks, true},
        {"only streams.avi", avi(size), 8, kRawProbeHeadBlocks, true},
        {"only streams.mkv", patternBytes(size, 5), 8, 8, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        writeFile(path, c.plain);
        auto params = flag("key", ftBoth, c.setting);
        params.WholeStreams = c.whole;
        EXPECT_EQ(process(path, params).Outcome, TProcessOutcome::Encrypted);
        const auto encrypted = readFile(path);
        EXPECT_EQ(trailerOf(encrypted).Blocks, c.scrambled) << "the trailer records what was scrambled";
        EXPECT_EQ(content(encrypted),
                  expectedScramble(c.plain, "key", static_cast<std::size_t>(c.scrambled)));

        EXPECT_EQ(process(path, flag("key", ftBoth, 8)).Outcome, TProcessOutcome::Decrypted);
        EXPECT_EQ(readFile(path), c.plain);
    }
}

}  // namespace
