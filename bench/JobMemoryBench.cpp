// The batch job over 1,000 and 10,000 files: its memory must stay flat beyond its path lists. Every
// operator new is accounted (live and peak bytes, by malloc_usable_size); for each run it reports the
// peak of live heap above the start, the bytes the result lists hold at the end, and the difference:
// what the job needs besides its lists, which must not grow with the number of files. The growth of the
// peak resident set is shown too (it includes Qt's own malloc use; a warm-up run comes first, so that
// the thread's arena and the page cache are in place for both measured runs).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <string>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include "engine/KZVThread.h"
#include "platform/Messages.h"

namespace {

std::atomic<std::uint64_t> newCalls{0};
std::atomic<std::int64_t> liveBytes{0};
std::atomic<std::int64_t> peakBytes{0};

void released(void* p) {
    if (p == nullptr) return;
    liveBytes -= static_cast<std::int64_t>(::malloc_usable_size(p));
    std::free(p);
}

}  // namespace

// Accounting only: every allocation still goes to malloc.
void* operator new(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (p == nullptr) throw std::bad_alloc();
    ++newCalls;
    const std::int64_t live = liveBytes += static_cast<std::int64_t>(::malloc_usable_size(p));
    for (std::int64_t peak = peakBytes; live > peak && !peakBytes.compare_exchange_weak(peak, live);) {
    }
    return p;
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* p) noexcept {
    released(p);
}
void operator delete(void* p, std::size_t) noexcept {
    released(p);
}
void operator delete[](void* p) noexcept {
    released(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    released(p);
}

namespace {

constexpr std::size_t kBlock = 524'288;
constexpr int kDistinctFiles = 16;  // cycled through, so the page cache holds them all

struct Files {
    std::filesystem::path dir;
    std::vector<std::string> paths;
    Files() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-jobmem-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        dir = pattern;
        std::vector<char> data(kBlock + 4096, 'v');
        for (int i = 0; i < kDistinctFiles; ++i) {
            paths.push_back((dir / ("clip number " + std::to_string(i) + ".mp4")).string());
            std::ofstream(paths.back(), std::ios::binary)
                .write(data.data(), static_cast<std::streamsize>(data.size()));
        }
    }
    ~Files() { std::filesystem::remove_all(dir); }
};

Files& files() {
    static Files instance;
    return instance;
}

long statusKiB(const char* field) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
    return -1;
}

void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

std::size_t listBytes(const std::vector<std::string>& list) {
    std::size_t bytes = list.capacity() * sizeof(std::string);
    for (const auto& s : list)
        if (s.capacity() > 15) bytes += s.capacity() + 1;  // beyond the small-string buffer
    return bytes;
}

class Listener : public QObject {
public:
    explicit Listener(QEventLoop& loop) : loop_(loop) {}

protected:
    bool event(QEvent* event) override {
        const auto* m = platform::AsMessage(event);
        if (m == nullptr) return QObject::event(event);
        if (m->Msg == engine::WM_JOB_FINISHED) loop_.quit();
        return true;
    }

private:
    QEventLoop& loop_;
};

void BM_JobMemory(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    double rssGrowth = 0, heapPeak = 0, lists = 0, newPerFile = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QEventLoop loop;
        Listener listener(loop);
        auto job = std::make_unique<engine::TKZVThread>();
        for (std::size_t i = 0; i < count; ++i) job->FileList.push_back(files().paths[i % kDistinctFiles]);
        job->Params.Key = "a key";
        job->Params.NotifyWnd = &listener;
        job->Params.KeepFileTime = false;
        resetPeak();
        const long before = statusKiB("VmRSS:");
        const std::uint64_t callsBefore = newCalls;
        const std::int64_t heapBefore = liveBytes;
        peakBytes = heapBefore;
        state.ResumeTiming();

        job->Resume();
        loop.exec();  // the window's loop: messages are handled as they come
        job->wait();

        state.PauseTiming();
        rssGrowth = static_cast<double>(statusKiB("VmHWM:") - before) * 1024;
        heapPeak = static_cast<double>(peakBytes - heapBefore);
        lists = static_cast<double>(listBytes(job->EncryptedList) + listBytes(job->DecryptedList));
        newPerFile = static_cast<double>(newCalls - callsBefore) / static_cast<double>(count);
        if (job->EncryptedList.size() + job->DecryptedList.size() != count)
            state.SkipWithError("files failed");
        job.reset();
        state.ResumeTiming();
    }
    state.counters["heap_peak_KiB"] = heapPeak / 1024;
    state.counters["result_lists_KiB"] = lists / 1024;
    state.counters["heap_beyond_lists_KiB"] = (heapPeak - lists) / 1024;
    state.counters["rss_peak_growth_KiB"] = rssGrowth / 1024;
    state.counters["new_per_file"] = newPerFile;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
}

BENCHMARK(BM_JobMemory)
    ->Arg(100)
    ->Arg(1'000)
    ->Arg(10'000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

// The first run (100 files) is the warm-up.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    files();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
