// What scrambling a stream file costs, per kind of head, on 1 GiB files, each toggled there and back
// as a job does it (journaled): a header-bound file's head (the setting, 8 blocks), a transport
// stream's longer head (found by its content) and the same stream scrambled whole. The floor is the
// bare reading and writing of every block, as copying the file in place would. Prints the ratios:
// the longer head against the setting's (time per file still independent of its size), and the whole
// stream against the floor (it adds the journal's reading and fingerprinting of every block).
#include <benchmark/benchmark.h>

#include "BenchRatio.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/FileTransform.h"
#include "engine/journal/Recover.h"

namespace {

constexpr std::int64_t kMiB = 1024 * 1024;
constexpr std::int64_t kFileSize = 1024 * kMiB + 12345;  // a part block at the end, as real files have

struct Files {
    std::filesystem::path dir;
    std::string film;    // random bytes: header-bound
    std::string stream;  // random bytes with a transport-stream sync byte every 188
    std::string journal;

    Files() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        dir = pattern;
        film = (dir / "film.mkv").string();
        stream = (dir / "recording.ts").string();
        journal = (dir / "journal").string();
        write(film, false);
        write(stream, true);
    }
    ~Files() { std::filesystem::remove_all(dir); }

    static void write(const std::string& path, bool packets) {
        std::mt19937_64 random(packets ? 2 : 1);
        std::vector<std::uint8_t> chunk(64 * 188 * 1024);  // whole packets, so the stride runs on
        auto file = platform::localFileSystem().create(path);
        for (std::int64_t at = 0; at < kFileSize; at += static_cast<std::int64_t>(chunk.size())) {
            for (auto& byte : chunk) byte = static_cast<std::uint8_t>(random());
            if (packets)
                for (std::size_t i = 0; i < chunk.size(); i += 188) chunk[i] = 0x47;
            const auto size = std::min<std::int64_t>(static_cast<std::int64_t>(chunk.size()), kFileSize - at);
            file->writeAt(at, std::span(chunk).first(static_cast<std::size_t>(size)));
        }
    }
};

Files& files() {
    static Files instance;
    return instance;
}

void toggleTwice(benchmark::State& state, const std::string& path, bool wholeStreams) {
    engine::TKZVFlag flag;
    flag.Key = "a key of moderate length";
    flag.Version = "1.0.0";
    flag.Blocks = 8;
    flag.WholeStreams = wholeStreams;
    for (auto _ : state) {
        // One job each way, with its journal, as the window and velmora-cli run it.
        for (int pass = 0; pass < 2; ++pass) {
            engine::TFileTransform transform(flag, false);
            transform.UseJournal(engine::TJournal::Create(files().journal));
            benchmark::DoNotOptimize(transform.ProcessFile(path, flag.Key));
            transform.FinishJournal();
        }
    }
}

// Every whole block read and written back in place, twice: what any program that rewrites the whole
// file pays at the least.
void floorTwice(benchmark::State& state, const std::string& path) {
    std::vector<std::uint8_t> buffer(engine::kBlockSize);
    for (auto _ : state) {
        for (int pass = 0; pass < 2; ++pass) {
            auto file = platform::localFileSystem().open(path, platform::FileAccess::ReadWrite);
            const std::int64_t blocks = file->size() / engine::kBlockSize;
            for (std::int64_t b = 0; b < blocks; ++b) {
                file->readAt(b * engine::kBlockSize, buffer);
                file->writeAt(b * engine::kBlockSize, buffer);
            }
            benchmark::DoNotOptimize(file->size());
        }
    }
}

void BM_Head_Film_1GiB(benchmark::State& s) {
    toggleTwice(s, files().film, false);
}
void BM_Head_Stream_1GiB(benchmark::State& s) {
    toggleTwice(s, files().stream, false);
}
void BM_Whole_Film_1GiB(benchmark::State& s) {
    toggleTwice(s, files().film, true);  // other kinds keep their head under the option
}
void BM_Whole_Stream_1GiB(benchmark::State& s) {
    toggleTwice(s, files().stream, true);
}
void BM_Floor_1GiB(benchmark::State& s) {
    floorTwice(s, files().stream);
}

void heads(benchmark::internal::Benchmark* b) {
    benchratio::fastestOf(b, 9, benchmark::kMillisecond);
}
void whole(benchmark::internal::Benchmark* b) {
    benchratio::fastestOf(b, 3, benchmark::kMillisecond);
    b->Iterations(1);
}

BENCHMARK(BM_Head_Film_1GiB)->Apply(heads);
BENCHMARK(BM_Head_Stream_1GiB)->Apply(heads);
BENCHMARK(BM_Whole_Film_1GiB)->Apply(heads);
BENCHMARK(BM_Floor_1GiB)->Apply(whole);
BENCHMARK(BM_Whole_Stream_1GiB)->Apply(whole);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchratio::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* a, const char* b) { return reporter.ratio(a, b); };
    std::printf("\nstream's longer head / the setting's head:   %.2f\n",
                ratio("BM_Head_Stream_1GiB", "BM_Head_Film_1GiB"));
    std::printf("film under the whole-stream option / head:   %.2f  (expected 1: untouched by it)\n",
                ratio("BM_Whole_Film_1GiB", "BM_Head_Film_1GiB"));
    std::printf(
        "whole stream / reading and writing it all:   %.2f  (the journal reads and fingerprints it first)\n",
        ratio("BM_Whole_Stream_1GiB", "BM_Floor_1GiB"));
    std::printf("whole stream / the stream's head:            %.0f\n",
                ratio("BM_Whole_Stream_1GiB", "BM_Head_Stream_1GiB"));
    benchmark::Shutdown();
    return 0;
}
