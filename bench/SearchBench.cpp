// SearchFile3 over a generated tree of 100,000 files, one in five a video file, against `find` with the
// same 62 patterns (case-insensitive, like the search) and its output read back line by line. Prints
// the ratio SearchFile3 is held to: at most 1.5 x find.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "BenchRatio.h"
#include "platform/FileSearch.h"
#include "platform/Utility.h"
#include "settings/KZVConfig.h"

extern char** environ;

namespace {

constexpr int kFolders = 100;  // each with 10 subfolders of 100 files: 100,000 files in all
constexpr int kSubfolders = 10;
constexpr int kFilesPerFolder = 100;
constexpr int kExpectedMatches = kFolders * kSubfolders * kFilesPerFolder / 5;

const char* const kVideoExts[] = {".mp4", ".MKV", ".avi", ".mov", ".wmv", ".ts", ".m2ts", ".flv"};
const char* const kOtherExts[] = {".txt", ".jpg", ".srt", ".nfo", ".mp4.part", ".db", ".png", ".mp3"};

// The settings' default video mask.
std::string videoMask() {
    std::string mask;
    for (const auto& ext : platform::DivStrToList(settings::DefaultVideoExts().toStdString(), ";"))
        mask += (mask.empty() ? "*" : ";*") + ext;
    return mask;
}

struct Tree {
    std::filesystem::path root;
    Tree() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-search-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        root = pattern;
        int n = 0;
        for (int f = 0; f < kFolders; ++f) {
            for (int s = 0; s < kSubfolders; ++s) {
                const auto folder = root / ("folder" + std::to_string(f)) / ("sub" + std::to_string(s));
                std::filesystem::create_directories(folder);
                for (int i = 0; i < kFilesPerFolder; ++i, ++n) {
                    const char* ext = n % 5 == 0 ? kVideoExts[n / 5 % 8] : kOtherExts[n % 8];
                    const auto path = folder / ("file " + std::to_string(n) + ext);
                    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
                    if (fd < 0) std::abort();
                    ::close(fd);
                }
            }
        }
    }
    ~Tree() { std::filesystem::remove_all(root); }
};

Tree& tree() {
    static Tree instance;
    return instance;
}

void BM_SearchFile3(benchmark::State& state) {
    const std::string root = tree().root.string();
    const std::string mask = videoMask();
    std::size_t found = 0;
    for (auto _ : state) {
        std::vector<std::string> list;
        platform::SearchFile3(root, mask, list, true);
        found = list.size();
        benchmark::DoNotOptimize(list.data());
    }
    state.counters["files"] = static_cast<double>(found);
    if (found != kExpectedMatches) state.SkipWithError("wrong number of files found");
}

// Runs find and reads its output into a list, as SearchFile3 builds one. Returns the number of lines.
std::size_t runFind(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) std::abort();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "find", &actions, nullptr, argv.data(), environ) != 0) std::abort();
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::vector<std::string> list;
    std::string pending;
    char buffer[65536];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
        pending.append(buffer, static_cast<std::size_t>(n));
        std::size_t start = 0;
        for (std::size_t nl; (nl = pending.find('\n', start)) != std::string::npos; start = nl + 1)
            list.emplace_back(pending, start, nl - start);
        pending.erase(0, start);
    }
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    benchmark::DoNotOptimize(list.data());
    return list.size();
}

// find ROOT -type f ( -iname '*.asf' -o -iname '*.avi' ... )
void BM_Find(benchmark::State& state) {
    std::vector<std::string> args{"find", tree().root.string(), "-type", "f", "("};
    for (const auto& pattern : platform::DivStrToList(videoMask(), ";")) {
        if (args.back() != "(") args.push_back("-o");
        args.push_back("-iname");
        args.push_back(pattern);
    }
    args.push_back(")");
    std::size_t found = 0;
    for (auto _ : state) found = runFind(args);
    state.counters["files"] = static_cast<double>(found);
    if (found != kExpectedMatches) state.SkipWithError("find found another number of files");
}

// For scale: find ROOT -type f, the walk alone with every file listed.
void BM_FindWalkOnly(benchmark::State& state) {
    std::size_t found = 0;
    for (auto _ : state) found = runFind({"find", tree().root.string(), "-type", "f"});
    state.counters["files"] = static_cast<double>(found);
}

void pairSetup(benchmark::internal::Benchmark* b) {
    benchratio::fastestOf(b, 7, benchmark::kMillisecond);
}

BENCHMARK(BM_Find)->Apply(pairSetup);
BENCHMARK(BM_SearchFile3)->Apply(pairSetup);
BENCHMARK(BM_FindWalkOnly)->Apply(pairSetup);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    tree();  // built before any timing
    benchratio::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nSearchFile3 / find, 100,000 files:  %.3f  (target <= 1.50)\n",
                reporter.ratio("BM_SearchFile3", "BM_Find"));
    std::printf("SearchFile3 / find -type f without patterns (the walk alone):  %.3f\n",
                reporter.ratio("BM_SearchFile3", "BM_FindWalkOnly"));
    benchmark::Shutdown();
    return 0;
}
