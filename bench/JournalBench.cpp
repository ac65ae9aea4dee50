// What crash safety costs a batch: 300 videos of 5 MiB, encrypted then decrypted (8 blocks each),
// through the job's own path (entries recorded a group at a time, one sync per group, the entries left
// marked done for the next start) against the bare toggle: the same opens, reads and writes with no
// transform and no journal. A second variant adds the next start's recovery, which makes the videos
// durable with one sync of the file system. A counting file system reports the sync calls per batch and the
// journal's bytes per file; a last measurement records one entry of 200,000 blocks (100 GiB rewritten) on a
// video that reads as zeros, to show the journal's share does not grow with the block count.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

#include "BareToggle.h"
#include "BenchRatio.h"
#include "engine/FileTransform.h"
#include "engine/journal/Recover.h"

namespace {

constexpr int kFiles = 300;
constexpr std::int64_t kFileSize = 5 << 20;
constexpr std::int64_t kBlocks = 8;

struct Io {
    std::int64_t written = 0;
    std::int64_t journalWritten = 0;
    std::int64_t syncs = 0;
};

// Passes every call on, counting writes and sync calls of every kind.
class CountingFileSystem final : public platform::FileSystem {
public:
    Io io;

    std::unique_ptr<platform::File> open(const std::string& path, platform::FileAccess access) override {
        return std::make_unique<CountingFile>(*this, platform::localFileSystem().open(path, access));
    }
    std::unique_ptr<platform::File> create(const std::string& path) override {
        return std::make_unique<CountingFile>(*this, platform::localFileSystem().create(path));
    }
    void syncFolder(const std::string& path) override {
        ++io.syncs;
        platform::syncFolder(path);
    }
    void syncFileSystemOf(const std::string& path) override {
        ++io.syncs;
        platform::syncFileSystemOf(path);
    }

private:
    class CountingFile final : public platform::File {
    public:
        CountingFile(CountingFileSystem& fs, std::unique_ptr<platform::File> inner)
            : fs_(fs),
              inner_(std::move(inner)),
              journal_(inner_->path().find(engine::kJournalSuffix) != std::string::npos ||
                       inner_->path().find(".vjournal-new") != std::string::npos) {}
        const std::string& path() const noexcept override { return inner_->path(); }
        std::int64_t size() const override { return inner_->size(); }
        void readAt(std::int64_t offset, std::span<std::uint8_t> b) override { inner_->readAt(offset, b); }
        void writeAt(std::int64_t offset, std::span<const std::uint8_t> d) override {
            (journal_ ? fs_.io.journalWritten : fs_.io.written) += static_cast<std::int64_t>(d.size());
            inner_->writeAt(offset, d);
        }
        void setSize(std::int64_t s) override { inner_->setSize(s); }
        bool reserve(std::int64_t o, std::int64_t l) override { return inner_->reserve(o, l); }
        platform::FileTime lastWriteTime() const override { return inner_->lastWriteTime(); }
        void setLastWriteTime(platform::FileTime t) override { inner_->setLastWriteTime(t); }
        void sync() override {
            ++fs_.io.syncs;
            inner_->sync();
        }
        platform::FileIdentity identity() const override { return inner_->identity(); }
        std::uint32_t owner() const override { return inner_->owner(); }
        std::int64_t holeBytes(std::int64_t o, std::int64_t l) const override {
            return inner_->holeBytes(o, l);
        }

    private:
        CountingFileSystem& fs_;
        std::unique_ptr<platform::File> inner_;
        bool journal_;
    };
};

struct Scratch {
    std::filesystem::path dir;
    std::vector<std::string> videos;
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-jbench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        dir = pattern;
        std::vector<std::uint8_t> data(static_cast<std::size_t>(kFileSize));
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
        for (int f = 0; f < kFiles; ++f) {
            videos.push_back((dir / ("video" + std::to_string(f) + ".mp4")).string());
            const int fd = ::open(videos.back().c_str(), O_CREAT | O_WRONLY, 0644);
            if (fd < 0 || ::write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size()))
                std::abort();
            ::close(fd);
        }
        ::sync();
    }
    ~Scratch() { std::filesystem::remove_all(dir); }
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

// The bare toggle: every open, read and write of a toggle, the bytes written back unchanged.
void bareBatch(bool encrypt) {
    std::vector<std::uint8_t> block(static_cast<std::size_t>(engine::kBlockSize));
    for (const auto& path : scratch().videos) benchfloor::BareToggle(path, encrypt, kBlocks, false, block);
}

void BM_BareToggle(benchmark::State& state) {
    for (auto _ : state) {
        bareBatch(true);
        bareBatch(false);
    }
}

engine::TKZVFlag params() {
    engine::TKZVFlag p;
    p.Key = "a key of moderate length";
    p.Blocks = kBlocks;
    return p;
}

std::int64_t lastSyncsPerBatch = 0;
double lastJournalBytesPerFile = 0;

// One batch through the job's path: recovery's pending entries, the journal, groups, the checkpoint.
void journaledBatch(CountingFileSystem& fs) {
    engine::TFileTransform transform(params(), false, fs);
    transform.UseJournal(engine::TJournal::Create((scratch().dir / "journal").string(), fs));
    transform.ProcessFiles(
        scratch().videos, params().Key, [] { return false; },
        [](std::size_t, const engine::TFileOutcome& outcome) {
            if (!outcome.Result) std::abort();
        });
    transform.FinishJournal();
    if (!transform.Notices().empty()) std::abort();
}

void BM_JournaledToggle(benchmark::State& state) {
    Io total;
    std::int64_t batches = 0;
    for (auto _ : state) {
        for (int pass = 0; pass < 2; ++pass) {
            CountingFileSystem fs;
            journaledBatch(fs);
            total.syncs += fs.io.syncs;
            total.written += fs.io.written;
            total.journalWritten += fs.io.journalWritten;
            ++batches;
        }
    }
    lastSyncsPerBatch = total.syncs / batches;
    lastJournalBytesPerFile =
        static_cast<double>(total.journalWritten) / static_cast<double>(batches * kFiles);
    state.counters["syncs/batch"] = static_cast<double>(total.syncs) / static_cast<double>(batches);
    state.counters["journal_bytes/file"] = lastJournalBytesPerFile;
    state.counters["journal/toggle_writes_%"] =
        100.0 * static_cast<double>(total.journalWritten) / static_cast<double>(total.written);
}

// The same, each batch followed by the next start's recovery, which makes the batch's videos durable
// (one sync of the file system) and drops its entries: the whole price of durability, paid at once.
void BM_JournaledToggleAndNextStart(benchmark::State& state) {
    std::int64_t syncs = 0, batches = 0;
    for (auto _ : state) {
        for (int pass = 0; pass < 2; ++pass) {
            CountingFileSystem fs;
            journaledBatch(fs);
            const auto report = engine::RecoverJournals((scratch().dir / "journal").string(), fs);
            if (!report.Restored.empty() || !report.Problems.empty()) std::abort();
            syncs += fs.io.syncs;
            ++batches;
        }
    }
    state.counters["syncs/batch"] = static_cast<double>(syncs) / static_cast<double>(batches);
}

// The toggle itself without its journal: what the transform adds to the bare reads and writes.
void BM_ToggleWithoutJournal(benchmark::State& state) {
    engine::TFileTransform transform(params(), false);
    for (auto _ : state) {
        for (int pass = 0; pass < 2; ++pass)
            transform.ProcessFiles(
                scratch().videos, params().Key, [] { return false; },
                [](std::size_t, const engine::TFileOutcome&) {});
    }
}

// The earlier safety for comparison: every toggle's video made durable on its own.
void BM_BareToggleWithAnFsyncPerFile(benchmark::State& state) {
    for (auto _ : state) {
        for (const bool encrypt : {true, false}) {
            bareBatch(encrypt);
            for (const auto& path : scratch().videos)
                platform::localFileSystem().open(path, platform::FileAccess::ReadWrite)->sync();
        }
    }
}

BENCHMARK(BM_BareToggle)
    ->Apply([](auto* b) { benchratio::fastestOf(b, 3, benchmark::kMillisecond); }) -> Iterations(1);
BENCHMARK(BM_JournaledToggle)
    ->Apply([](auto* b) { benchratio::fastestOf(b, 3, benchmark::kMillisecond); }) -> Iterations(1);
BENCHMARK(BM_JournaledToggleAndNextStart)
    ->Apply([](auto* b) { benchratio::fastestOf(b, 3, benchmark::kMillisecond); }) -> Iterations(1);
BENCHMARK(BM_ToggleWithoutJournal)
    ->Apply([](auto* b) { benchratio::fastestOf(b, 3, benchmark::kMillisecond); }) -> Iterations(1);
BENCHMARK(BM_BareToggleWithAnFsyncPerFile)
    ->Apply([](auto* b) { benchratio::fastestOf(b, 2, benchmark::kMillisecond); }) -> Iterations(1);

// A video of 200,000 blocks that reads as zeros, and a journal that only counts what it is given.
class ZeroVideo final : public platform::File {
public:
    const std::string& path() const noexcept override { return path_; }
    std::int64_t size() const override { return 200'000 * engine::kBlockSize + 1000; }
    void readAt(std::int64_t, std::span<std::uint8_t> b) override { std::fill(b.begin(), b.end(), 0); }
    void writeAt(std::int64_t, std::span<const std::uint8_t>) override { std::abort(); }
    void setSize(std::int64_t) override { std::abort(); }
    bool reserve(std::int64_t, std::int64_t) override { return false; }
    platform::FileTime lastWriteTime() const override { return {}; }
    void setLastWriteTime(platform::FileTime) override {}
    void sync() override {}
    platform::FileIdentity identity() const override { return {1, 2}; }
    std::uint32_t owner() const override { return ::geteuid(); }
    std::int64_t holeBytes(std::int64_t, std::int64_t) const override { return 0; }

private:
    std::string path_ = "/videos/a very long film.mkv";
};

class CountingSink final : public platform::FileSystem {
public:
    std::int64_t written = 0;
    std::unique_ptr<platform::File> open(const std::string&, platform::FileAccess) override { std::abort(); }
    std::unique_ptr<platform::File> create(const std::string& path) override {
        return std::make_unique<Sink>(*this, path);
    }
    void makeFolder(const std::string&) override {}
    void makePrivateFolder(const std::string&) override {}
    void checkPrivateFolder(const std::string&) override {}
    void syncFolder(const std::string&) override {}
    void removeFile(const std::string&) override {}
    void renameFile(const std::string&, const std::string&) override {}

private:
    class Sink final : public platform::File {
    public:
        Sink(CountingSink& owner, std::string path) : owner_(owner), path_(std::move(path)) {}
        const std::string& path() const noexcept override { return path_; }
        std::int64_t size() const override { return size_; }
        void readAt(std::int64_t, std::span<std::uint8_t>) override { std::abort(); }
        void writeAt(std::int64_t offset, std::span<const std::uint8_t> d) override {
            owner_.written += static_cast<std::int64_t>(d.size());
            size_ = std::max(size_, offset + static_cast<std::int64_t>(d.size()));
        }
        void setSize(std::int64_t s) override { size_ = s; }
        bool reserve(std::int64_t, std::int64_t) override { return false; }
        platform::FileTime lastWriteTime() const override { return {}; }
        void setLastWriteTime(platform::FileTime) override {}
        void sync() override {}
        platform::FileIdentity identity() const override { return {1, 3}; }
        std::uint32_t owner() const override { return ::geteuid(); }
        std::int64_t holeBytes(std::int64_t, std::int64_t) const override { return 0; }

    private:
        CountingSink& owner_;
        std::string path_;
        std::int64_t size_ = 0;
    };
};

void BM_EntryOf200000Blocks(benchmark::State& state) {
    double share = 0;
    for (auto _ : state) {
        CountingSink sink;
        auto journal = engine::TJournal::Create("/journal", sink);
        ZeroVideo video;
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(engine::kBlockSize));
        journal->Record(video, {engine::TJournal::Operation::Decrypt, 200'000, "key", {}, false}, buffer);
        state.counters["journal_MiB"] = static_cast<double>(sink.written) / (1 << 20);
        share = 100.0 * static_cast<double>(sink.written) / static_cast<double>(200'000 * engine::kBlockSize);
    }
    state.counters["journal/toggle_writes_%"] = share;
}
BENCHMARK(BM_EntryOf200000Blocks)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchratio::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double ratio = reporter.ratio("BM_JournaledToggle", "BM_BareToggle");
    if (ratio > 0) {
        std::printf(
            "\ncrash-safe batch / bare toggle, %d files of 5 MiB, encrypt + decrypt: %.2f x (target <= "
            "1.5)\n",
            kFiles, ratio);
        std::printf("sync calls per batch of %d files: %lld (target <= %d)\n", kFiles,
                    static_cast<long long>(lastSyncsPerBatch), kFiles / 16 + 4);
        std::printf(
            "journal bytes per file at %lld blocks: %.0f = %.2f %% of the toggle's %lld bytes written "
            "(target <= 2 %%)\n",
            static_cast<long long>(kBlocks), lastJournalBytesPerFile,
            100.0 * lastJournalBytesPerFile / static_cast<double>(kBlocks * engine::kBlockSize + 96),
            static_cast<long long>(kBlocks * engine::kBlockSize + 96));
    }
    const double withStart = reporter.ratio("BM_JournaledToggleAndNextStart", "BM_BareToggle");
    if (withStart > 0)
        std::printf("crash-safe batch and the next start's sync / bare toggle: %.2f x\n", withStart);
    const double transformOnly = reporter.ratio("BM_ToggleWithoutJournal", "BM_BareToggle");
    if (transformOnly > 0) std::printf("toggle without the journal / bare toggle: %.2f x\n", transformOnly);
    const double perFsync = reporter.ratio("BM_BareToggleWithAnFsyncPerFile", "BM_BareToggle");
    if (perFsync > 0) std::printf("bare toggle with an fsync per file / bare toggle: %.2f x\n", perFsync);
    benchmark::Shutdown();
    return 0;
}
