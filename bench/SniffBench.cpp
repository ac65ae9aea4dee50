// How fast a block's content kind is told, in bytes per second, on the 512 KiB blocks a job reads: a
// block of random bytes (what most files hold: every kind must be ruled out over the whole block), a
// block of each kind, and one of zeros and 01 only, where every byte may be part of a start code;
// each against the byte-by-byte sniffer it replaced.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "engine/FileTransform.h"
#include "engine/ScrambledHead.h"
#include "tests/engine/ReferenceKindOf.h"

namespace {

constexpr auto kBlock = static_cast<std::size_t>(engine::kBlockSize);

std::vector<std::uint8_t> randomBlock() {
    std::mt19937_64 random(42);
    std::vector<std::uint8_t> block(kBlock);
    for (auto& byte : block) byte = static_cast<std::uint8_t>(random());
    return block;
}

std::vector<std::uint8_t> withEvery(std::size_t every, std::size_t from, std::span<const std::uint8_t> code) {
    auto block = randomBlock();
    for (std::size_t at = from; at + code.size() <= block.size(); at += every)
        std::memcpy(&block[at], code.data(), code.size());
    return block;
}

enum class Sample { Random, Ts188, Ts192, Ts204, Ps, Mpeg4Visual, Avi, ZerosAndOnes };

std::vector<std::uint8_t> sample(Sample kind) {
    static constexpr std::uint8_t sync[] = {0x47};
    static constexpr std::uint8_t pack[] = {0,    0,    1,    0xBA, 0x44, 0x00, 0x04,
                                            0x00, 0x04, 0x01, 0x01, 0x89, 0xC3, 0xF8};
    static constexpr std::uint8_t vop[] = {0, 0, 1, 0xB6};
    switch (kind) {
        case Sample::Random:
            return randomBlock();
        case Sample::Ts188:
            return withEvery(188, 0, sync);
        case Sample::Ts192:
            return withEvery(192, 4, sync);  // after the time code
        case Sample::Ts204:
            return withEvery(204, 0, sync);
        case Sample::Ps:
            return withEvery(2048, 0, pack);  // a DVD's sectors
        case Sample::Mpeg4Visual:
            return withEvery(30'000, 0, vop);  // a frame every 30 KB: the whole block is searched for packs
        case Sample::Avi: {
            auto block = randomBlock();
            std::memcpy(block.data(),
                        "RIFF\x10\x00\x00\x01"
                        "AVI LIST",
                        16);
            return block;
        }
        case Sample::ZerosAndOnes: {
            auto block = randomBlock();
            for (auto& byte : block) byte &= 1;
            return block;
        }
    }
    return {};
}

void run(benchmark::State& state, Sample kind,
         engine::TContentKind (*kindOf)(std::span<const std::uint8_t>)) {
    const auto block = sample(kind);
    for (auto _ : state) benchmark::DoNotOptimize(kindOf(block));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(block.size()));
}

void sniff(benchmark::State& state, Sample kind) {
    run(state, kind, engine::ContentKindOf);
}
void byteByByte(benchmark::State& state, Sample kind) {
    run(state, kind, referencekind::ReferenceKindOf);
}

#define SNIFF_BOTH(kind)                          \
    BENCHMARK_CAPTURE(sniff, kind, Sample::kind); \
    BENCHMARK_CAPTURE(byteByByte, kind, Sample::kind)

SNIFF_BOTH(Random);
SNIFF_BOTH(Ts188);
SNIFF_BOTH(Ts192);
SNIFF_BOTH(Ts204);
SNIFF_BOTH(Ps);
SNIFF_BOTH(Mpeg4Visual);
SNIFF_BOTH(Avi);
SNIFF_BOTH(ZerosAndOnes);

}  // namespace

BENCHMARK_MAIN();
