// ProcessFile (encrypt + decrypt) against the raw floor: the same positioned reads and writes with no
// transform; on a 16 MiB file and on a 4 GiB sparse one. Prints the ratios the engine is held to:
// ProcessFile at most 1.10 x the floor, and the 4 GiB file within 1.2 x the 16 MiB one.
#include <benchmark/benchmark.h>

#include "BenchRatio.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "engine/FileTransform.h"

namespace {

constexpr std::int64_t kMiB = 1024 * 1024;

struct Files {
    std::filesystem::path dir;
    std::string small;  // 16 MiB of data
    std::string large;  // 4 GiB, sparse

    Files() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        dir = pattern;
        small = (dir / "small.mp4").string();
        large = (dir / "large.mp4").string();
        std::vector<std::uint8_t> data(16 * kMiB);
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
        writeWhole(small, data);
        writeWhole(large, {});
        platform::localFileSystem().open(large, platform::FileAccess::ReadWrite)->setSize(4096 * kMiB);
    }
    ~Files() { std::filesystem::remove_all(dir); }

    static void writeWhole(const std::string& path, const std::vector<std::uint8_t>& data) {
        const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
        if (fd < 0) std::abort();
        ::close(fd);
        if (!data.empty())
            platform::localFileSystem().open(path, platform::FileAccess::Write)->writeAt(0, data);
    }
};

Files& files() {
    static Files instance;
    return instance;
}

engine::TKZVFlag params() {
    engine::TKZVFlag flag;
    flag.Key = "a key of moderate length";
    flag.Version = "1.0.0";
    flag.Blocks = 8;
    return flag;
}

void toggleTwice(benchmark::State& state, const std::string& path) {
    engine::TFileTransform transform(params(), false);
    for (auto _ : state) {
        benchmark::DoNotOptimize(transform.ProcessFile(path, params().Key));
        benchmark::DoNotOptimize(transform.ProcessFile(path, params().Key));
    }
}

// The same calls ProcessFile makes to the file, in the same order, with the transform left out.
void floorTwice(benchmark::State& state, const std::string& path) {
    std::vector<std::uint8_t> buffer(engine::kBlockSize);
    std::vector<std::uint8_t> trailer(engine::kTrailerSize);
    auto pass = [&](bool decrypt) {
        auto file = platform::localFileSystem().open(path, platform::FileAccess::ReadWrite);
        const std::int64_t size = file->size();
        file->readAt(size - engine::kTrailerSize, trailer);
        const std::int64_t content = decrypt ? size - engine::kTrailerSize : size;
        for (std::int64_t b = 0; b < 8 && (b + 1) * engine::kBlockSize <= content; ++b) {
            file->readAt(b * engine::kBlockSize, buffer);
            file->writeAt(b * engine::kBlockSize, buffer);
        }
        if (decrypt)
            file->setSize(content);
        else
            file->writeAt(size, trailer);
        benchmark::DoNotOptimize(file->size());
    };
    for (auto _ : state) {
        pass(false);
        pass(true);
    }
}

void BM_ProcessFile_16MiB(benchmark::State& s) {
    toggleTwice(s, files().small);
}
void BM_Floor_16MiB(benchmark::State& s) {
    floorTwice(s, files().small);
}
void BM_ProcessFile_4GiB_sparse(benchmark::State& s) {
    toggleTwice(s, files().large);
}
void BM_Floor_4GiB_sparse(benchmark::State& s) {
    floorTwice(s, files().large);
}

// The transform alone, on one block held in cache.
void BM_KeyPattern_apply(benchmark::State& state) {
    std::vector<std::uint8_t> data(engine::kBlockSize, 0x5A);
    const engine::TKeyPattern pattern("a key of moderate length");
    for (auto _ : state) {
        pattern.apply(data);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * engine::kBlockSize);
}

void pairSetup(benchmark::internal::Benchmark* b) {
    benchratio::fastestOf(b, 15, benchmark::kMicrosecond);
}

BENCHMARK(BM_KeyPattern_apply)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Floor_16MiB)->Apply(pairSetup);
BENCHMARK(BM_ProcessFile_16MiB)->Apply(pairSetup);
BENCHMARK(BM_Floor_4GiB_sparse)->Apply(pairSetup);
BENCHMARK(BM_ProcessFile_4GiB_sparse)->Apply(pairSetup);

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    args.push_back(interleave.data());
    argc = static_cast<int>(args.size());
    benchmark::Initialize(&argc, args.data());
    benchratio::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* a, const char* b) { return reporter.ratio(a, b); };
    std::printf("\nProcessFile / floor, 16 MiB:        %.3f  (target <= 1.10)\n",
                ratio("BM_ProcessFile_16MiB", "BM_Floor_16MiB"));
    std::printf("ProcessFile / floor, 4 GiB sparse:  %.3f  (target <= 1.10)\n",
                ratio("BM_ProcessFile_4GiB_sparse", "BM_Floor_4GiB_sparse"));
    std::printf("ProcessFile 4 GiB / 16 MiB:         %.3f  (target <= 1.20)\n",
                ratio("BM_ProcessFile_4GiB_sparse", "BM_ProcessFile_16MiB"));
    benchmark::Shutdown();
    return 0;
}
