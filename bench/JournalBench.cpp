// What the recovery journal costs: ProcessFile (encrypt + decrypt of a 16 MiB file, 8 blocks) without
// the journal, with it, and with it but its fsyncs skipped, which splits the cost into the journal's
// extra I/O and the per-file fsyncs. A counting file system reports the bytes each variant moves.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include <fcntl.h>
#include <unistd.h>

#include "engine/FileTransform.h"

namespace {

struct Io {
    std::int64_t read = 0, written = 0, syncs = 0;
};

// Passes every call on, counting bytes; optionally leaves out the fsyncs.
class CountingFileSystem final : public platform::FileSystem {
public:
    explicit CountingFileSystem(bool sync) : sync_(sync) {}
    Io io;

    std::unique_ptr<platform::File> open(const std::string& path, platform::FileAccess access) override {
        return std::make_unique<CountingFile>(*this, platform::localFileSystem().open(path, access));
    }
    std::unique_ptr<platform::File> create(const std::string& path) override {
        return std::make_unique<CountingFile>(*this, platform::localFileSystem().create(path));
    }

private:
    class CountingFile final : public platform::File {
    public:
        CountingFile(CountingFileSystem& fs, std::unique_ptr<platform::File> inner)
            : fs_(fs), inner_(std::move(inner)) {}
        const std::string& path() const noexcept override { return inner_->path(); }
        std::int64_t size() const override { return inner_->size(); }
        void readAt(std::int64_t offset, std::span<std::uint8_t> b) override {
            fs_.io.read += static_cast<std::int64_t>(b.size());
            inner_->readAt(offset, b);
        }
        void writeAt(std::int64_t offset, std::span<const std::uint8_t> d) override {
            fs_.io.written += static_cast<std::int64_t>(d.size());
            inner_->writeAt(offset, d);
        }
        void setSize(std::int64_t s) override { inner_->setSize(s); }
        bool reserve(std::int64_t o, std::int64_t l) override { return inner_->reserve(o, l); }
        platform::FileTime lastWriteTime() const override { return inner_->lastWriteTime(); }
        void setLastWriteTime(platform::FileTime t) override { inner_->setLastWriteTime(t); }
        void sync() override {
            ++fs_.io.syncs;
            if (fs_.sync_) inner_->sync();
        }
        platform::FileIdentity identity() const override { return inner_->identity(); }

    private:
        CountingFileSystem& fs_;
        std::unique_ptr<platform::File> inner_;
    };
    bool sync_;
};

struct Scratch {
    std::filesystem::path dir;
    std::string video;
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-jbench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        dir = pattern;
        video = (dir / "video.mp4").string();
        const int fd = ::open(video.c_str(), O_CREAT | O_WRONLY, 0644);
        std::vector<std::uint8_t> data(16 << 20);
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
        if (fd < 0 || ::write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size()))
            std::abort();
        ::fsync(fd);
        ::close(fd);
    }
    ~Scratch() { std::filesystem::remove_all(dir); }
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

enum Variant { kNoJournal, kJournal, kJournalNoSync };
std::map<int, double> perToggleUs;

void toggle(benchmark::State& state) {
    const auto variant = static_cast<Variant>(state.range(0));
    CountingFileSystem fs(variant != kJournalNoSync);
    engine::TKZVFlag params;
    params.Key = "a key of moderate length";
    params.Blocks = 8;
    engine::TFileTransform transform(params, false, fs);
    if (variant != kNoJournal)
        transform.UseJournal(engine::TJournal::Create((scratch().dir / "journal").string(), fs));
    for (auto _ : state) {
        transform.ProcessFile(scratch().video, params.Key);
        transform.ProcessFile(scratch().video, params.Key);
    }
    const double toggles = 2.0 * static_cast<double>(state.iterations());
    state.counters["MiB_read/toggle"] = static_cast<double>(fs.io.read) / toggles / (1 << 20);
    state.counters["MiB_written/toggle"] = static_cast<double>(fs.io.written) / toggles / (1 << 20);
    state.counters["fsyncs/toggle"] = static_cast<double>(fs.io.syncs) / toggles;
}

BENCHMARK(toggle)
    ->Arg(kNoJournal)
    ->Arg(kJournalNoSync)
    ->Arg(kJournal)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
