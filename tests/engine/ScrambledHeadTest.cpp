// Stream formats and AVI get the longer head their kind needs, told by their content wherever a player
// would find it; every other file keeps the setting, and every file comes back byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <span>

#include "EngineTestUtil.h"
#include "ReferenceKindOf.h"
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

// Leading bytes of files ffmpeg made (data/kinds/README). Each kind shows itself only once its third
// pack or frame, or seventh packet, is whole, and wherever it lies.
TEST(ContentKind, RealFilesAreToldByJustEnoughOfTheirBytes) {
    struct Case {
        const char* file;
        TContentKind kind;
        std::size_t fewest;  // the bytes that hold the last pack header, frame code or sync byte
    };
    const Case cases[] = {
        {"mpeg1.mpg", TContentKind::ProgramStream, 4110},  {"mpeg2.vob", TContentKind::ProgramStream, 1038},
        {"xvid.mkv", TContentKind::Mpeg4Visual, 2268},     {"188.ts", TContentKind::TransportStream, 1129},
        {"192.m2ts", TContentKind::TransportStream, 1157},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const auto bytes = readFile(std::string(VELMORA_TEST_DATA) + "/kinds/" + c.file);
        EXPECT_EQ(ContentKindOf(bytes), c.kind);
        EXPECT_EQ(ContentKindOf(std::span(bytes).first(c.fewest)), c.kind);
        EXPECT_EQ(ContentKindOf(std::span(bytes).first(c.fewest - 1)), TContentKind::HeaderBound);
        // At the very end of a block, as the block after the head may hold them.
        auto block = patternBytes(kBlock, 3);
        std::copy(bytes.begin(), bytes.end(), block.end() - static_cast<std::ptrdiff_t>(bytes.size()));
        EXPECT_EQ(ContentKindOf(block), c.kind);
    }
}

// The sniffer looks for sync bytes in windows only: a run of packets must be found wherever it starts
// against them, and up to the block's last byte.
TEST(ContentKind, FindsSevenPacketsWhereverTheyStart) {
    for (const std::size_t size : {188, 192, 204})
        for (std::size_t from = 0; from < 1400; ++from)
            for (const std::size_t packets : {6, 7}) {
                std::vector<std::uint8_t> bytes(from + 6 * size + 1 + from % 3);
                for (std::size_t i = 0; i < packets; ++i) bytes[from + i * size] = 0x47;
                const auto expected =
                    packets == 7 ? TContentKind::TransportStream : TContentKind::HeaderBound;
                ASSERT_EQ(ContentKindOf(bytes), expected)
                    << packets << " packets of " << size << " at " << from;
            }
}

// Copies `code` to `at`, as much of it as fits.
void put(std::vector<std::uint8_t>& bytes, std::size_t at, std::span<const std::uint8_t> code) {
    if (at < bytes.size())
        std::copy_n(code.begin(), std::min(code.size(), bytes.size() - at), bytes.begin() + at);
}

// The fixed bits of a pack header after its start code: its version and marker bits.
struct Marks {
    std::size_t at;
    std::uint8_t mask;
    std::uint8_t bits;
};
constexpr Marks kMpeg2Marks[] = {
    {0, 0xC4, 0x44}, {2, 0x04, 0x04}, {4, 0x04, 0x04}, {5, 0x01, 0x01}, {8, 0x03, 0x03}};
constexpr Marks kMpeg1Marks[] = {
    {0, 0xF1, 0x21}, {2, 0x01, 0x01}, {4, 0x01, 0x01}, {5, 0x80, 0x80}, {7, 0x01, 0x01}};

// Random bytes of the given seed, often thick with the bytes the sniffer looks for, then sprinkled
// with runs of sync bytes, pack headers (marker bits right or one of them wrong), frame codes and AVI
// headers, anywhere and often cut off by the end.
std::vector<std::uint8_t> craftedBlock(std::uint32_t seed) {
    std::mt19937 random(seed);
    const auto below = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    const std::size_t size = seed % 97 == 0  ? below(600 * 1024)
                             : seed % 5 == 0 ? below(32 * 1024)
                                             : below(6000);
    static constexpr std::uint8_t kSought[] = {0x00, 0x00, 0x01, 0x47, 0xBA, 0xB6, 0x44, 0x21};
    std::vector<std::uint8_t> bytes(size);
    const std::size_t background = below(3);
    for (auto& byte : bytes) {
        const auto r = random();
        byte = static_cast<std::uint8_t>(background == 0   ? r
                                         : background == 1 ? (r % 4 ? 0 : r)
                                                           : kSought[r % 8]);
    }
    const auto anywhere = [&] {
        return below(2) ? below(size + 1) : size - std::min(size, below(below(2) ? 300 : 16));
    };
    for (std::size_t features = below(12); features-- > 0;) {
        switch (below(10)) {
            case 0:
            case 1:
            case 2: {  // 5 to 8 sync bytes at a packet stride
                const std::size_t stride = std::array<std::size_t, 4>{188, 192, 204, 187}[below(4)];
                const std::size_t at = anywhere();
                for (std::size_t i = 0, packets = 5 + below(4); i < packets; ++i)
                    if (at + i * stride < size) bytes[at + i * stride] = 0x47;
                break;
            }
            case 3:
            case 4:
            case 5:
            case 6: {  // a pack header, MPEG-2 or MPEG-1, now and then with one of its marks wrong
                std::array<std::uint8_t, 15> pack{0, 0, 0, 1, 0xBA};
                for (std::size_t i = 5; i < pack.size(); ++i) pack[i] = static_cast<std::uint8_t>(random());
                const std::span<const Marks> marks =
                    below(2) ? std::span(kMpeg2Marks) : std::span(kMpeg1Marks);
                for (const Marks& m : marks)
                    pack[5 + m.at] = static_cast<std::uint8_t>((pack[5 + m.at] & ~m.mask) | m.bits);
                if (below(3) == 0) {
                    const Marks& wrong = marks[below(marks.size())];
                    pack[5 + wrong.at] ^=
                        static_cast<std::uint8_t>(wrong.mask & random());  // some of its bits
                }
                put(bytes, anywhere(), std::span(pack).subspan(below(2)));  // with an extra zero or without
                break;
            }
            case 7:
            case 8: {
                static constexpr std::uint8_t kFrame[] = {0, 0, 0, 1, 0xB6};
                put(bytes, anywhere(), std::span(kFrame).subspan(below(2)));
                break;
            }
            default: {  // an AVI header, or another RIFF file's
                std::array<std::uint8_t, 12> riff{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '};
                if (below(2)) riff[11] = 'X';
                put(bytes, 0, riff);
            }
        }
    }
    return bytes;
}

// The search decides as the byte-by-byte scan it replaced, on blocks from fixed seeds (a failure names
// its seed).
TEST(ContentKind, DecidesAsTheByteByByteScanDid) {
    std::array<int, 5> decided{};
    for (std::uint32_t seed = 1; seed <= 3000; ++seed) {
        const auto bytes = craftedBlock(seed);
        const TContentKind expected = referencekind::ReferenceKindOf(bytes);
        ASSERT_EQ(ContentKindOf(bytes), expected) << "seed " << seed << ", " << bytes.size() << " bytes";
        ++decided[static_cast<std::size_t>(expected)];
    }
    // Each decision often enough that the blocks reach the edges between them.
    for (const int times : decided) EXPECT_GE(times, 100);
}

}  // namespace
