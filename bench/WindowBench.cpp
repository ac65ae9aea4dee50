// The main window under load. Adding 10,000 files, by the open dialog's list and by a drop, each held to
// one second. A job over 100,000 small files with the window open, in both modes, against the same job
// through velmora-cli (a folder, recursive), held to 1.5 x; while it runs, how often the window
// repainted its progress and the longest time its event loop was busy, from the press of the run button
// to the end box. In Directories mode that time includes the search of the tree of 100,000 files,
// which must not block the loop for more than 50 ms at a time.
//
// The files of the job are 1,000 bytes: each is refused as too small, so every run finds them as the
// last one left them, and what is measured is the work per file and its messages, not the disk.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "BenchRatio.h"
#include "app/KZVApp.h"
#include "engine/KZVThread.h"
#include "settings/KZVConfig.h"
#include "tests/ui/Controls.h"
#include "ui/FileListView.h"
#include "ui/GuiUtility.h"
#include "ui/MainForm.h"
#include "ui/OruButton.h"

namespace {

using uitest::Control;

constexpr int kAddFiles = 10'000;
constexpr int kJobFolders = 100;
constexpr int kJobFilesPerFolder = 1'000;
constexpr int kJobFiles = kJobFolders * kJobFilesPerFolder;

struct Data {
    std::filesystem::path root;
    QStringList addFiles;  // 600,000 bytes each (sparse): looked at like real videos
    QStringList jobFiles;  // 1,000 bytes each
    QString jobFolder;

    Data() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-window-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        root = pattern;
        std::filesystem::create_directories(root / "add");
        for (int i = 0; i < kAddFiles; ++i) {
            const auto path = root / "add" / ("clip " + std::to_string(i) + ".mp4");
            write(path, 600'000, false);
            addFiles << QString::fromStdString(path.string());
        }
        std::vector<char> bytes(1000, 'v');
        for (int f = 0; f < kJobFolders; ++f) {
            const auto folder = root / "job" / ("folder" + std::to_string(f));
            std::filesystem::create_directories(folder);
            for (int i = 0; i < kJobFilesPerFolder; ++i) {
                const auto path = folder / ("small " + std::to_string(i) + ".mkv");
                write(path, 1000, true);
                jobFiles << QString::fromStdString(path.string());
            }
        }
        jobFolder = QString::fromStdString((root / "job").string());
    }
    ~Data() { std::filesystem::remove_all(root); }

    static void write(const std::filesystem::path& path, off_t size, bool filled) {
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) std::abort();
        if (filled) {
            const std::string bytes(static_cast<std::size_t>(size), 'v');
            if (::write(fd, bytes.data(), bytes.size()) != size) std::abort();
        } else if (::ftruncate(fd, size) != 0) {
            std::abort();
        }
        ::close(fd);
    }
};

Data& data() {
    static Data instance;
    return instance;
}

// What the window asks for during a benchmark: the open dialog answers with the prepared list, boxes
// are counted, and the end box stops the event loop that runs the job.
struct Shell {
    QStringList chosen;
    QEventLoop* running = nullptr;
    QString lastBox;
    std::unique_ptr<ui::TShellCallsScope> scope;

    Shell() {
        ui::TShellCalls calls = ui::DefaultShellCalls();
        calls.OpenFiles = [this](QWidget*, const QString&) -> std::optional<QStringList> { return chosen; };
        calls.MsgBox = [this](const QString& text, int, int) {
            lastBox = text;
            if (running) running->quit();
            return ui::kIdOk;
        };
        calls.ShowRiskWarning = [] { return true; };
        scope = std::make_unique<ui::TShellCallsScope>(std::move(calls));
    }
};

Shell& shell() {
    static Shell instance;
    return instance;
}

std::unique_ptr<ui::TMainForm> shownForm() {
    auto form = ui::CreateForm<ui::TMainForm>();
    form->show();
    QCoreApplication::processEvents();
    return form;
}

void BM_AddByDialog(benchmark::State& state) {
    shell().chosen = data().addFiles;
    for (auto _ : state) {
        state.PauseTiming();
        auto form = shownForm();
        state.ResumeTiming();
        Control<ui::TOruButton>(*form, "btnAdd")->click();
        QCoreApplication::processEvents();  // the list lays itself out and paints
        state.PauseTiming();
        if (form->FileList()->Count() != kAddFiles) state.SkipWithError("not every file was added");
        form.reset();
        state.ResumeTiming();
    }
    state.counters["files"] = kAddFiles;
}

void BM_AddByDrop(benchmark::State& state) {
    QList<QUrl> urls;
    for (const QString& path : data().addFiles) urls << QUrl::fromLocalFile(path);
    for (auto _ : state) {
        state.PauseTiming();
        auto form = shownForm();
        QMimeData mime;
        mime.setUrls(urls);
        QWidget* target = Control<ui::TFileListView>(*form, "lvFiles")->viewport();
        state.ResumeTiming();
        QDragEnterEvent enter({10, 10}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent drop({10, 10}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        while (form->FileList()->Count() < kAddFiles) QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        state.PauseTiming();
        if (form->FileList()->Count() != kAddFiles) state.SkipWithError("not every file was added");
        form.reset();
        state.ResumeTiming();
    }
    state.counters["files"] = kAddFiles;
}

// Watches the window while a job runs: paints of the progress bar, paints of the summary's first line
// before it (the search's count), and stalls of the event loop seen by a 5 ms heartbeat.
class Watch : public QObject {
public:
    Watch(QWidget* progress, QWidget* summary) : progress_(progress), summary_(summary) {
        progress_->installEventFilter(this);
        summary_->installEventFilter(this);
        heartbeat_.setTimerType(Qt::PreciseTimer);
        heartbeat_.setInterval(5);
        connect(&heartbeat_, &QTimer::timeout, this, [this] { beat(); });
        clock_.start();
        heartbeat_.start();
    }
    ~Watch() override {
        if (progress_) progress_->removeEventFilter(this);
        if (summary_) summary_->removeEventFilter(this);
    }

    int paints = 0;
    qint64 firstPaint = 0;  // ms from the start of the watch: the first file's progress on screen
    qint64 longestPaintGap = 0;
    int searchPaints = 0;  // of the summary's first line, before the first progress
    qint64 longestSearchPaintGap = 0;
    qint64 longestStall = 0;
    qint64 longestSearchStall = 0;  // before the first progress: while the job searches

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched == summary_ && paints == 0) {
            const qint64 now = clock_.elapsed();
            longestSearchPaintGap = std::max(longestSearchPaintGap, now - lastSearchPaint_);
            lastSearchPaint_ = now;
            ++searchPaints;
        } else if (event->type() == QEvent::Paint && watched == progress_) {
            const qint64 now = clock_.elapsed();
            if (paints == 0) {
                firstPaint = now;
                longestSearchPaintGap = std::max(longestSearchPaintGap, now - lastSearchPaint_);
            }
            if (paints > 0) longestPaintGap = std::max(longestPaintGap, now - lastPaint_);
            lastPaint_ = now;
            ++paints;
        }
        return false;
    }

private:
    void beat() {
        const qint64 now = clock_.elapsed();
        longestStall = std::max(longestStall, now - lastBeat_);
        if (paints == 0) longestSearchStall = std::max(longestSearchStall, now - lastBeat_);
        lastBeat_ = now;
    }

    QPointer<QWidget> progress_;
    QPointer<QWidget> summary_;
    QTimer heartbeat_;
    QElapsedTimer clock_;
    qint64 lastPaint_ = 0;
    qint64 lastSearchPaint_ = 0;
    qint64 lastBeat_ = 0;
};

// Over every repetition of a job in the window: the longest stall of its event loop, and the least time
// from the press to the first progress painted (in Directories mode, mostly the search).
struct JobFigures {
    qint64 worstStall = 0;
    qint64 worstSearchStall = 0;
    qint64 firstProgress = -1;
    int searchPaints = 0;  // in the run with the least time to the first progress
    qint64 worstSearchPaintGap = 0;
};
std::map<bool, JobFigures>& jobFigures() {  // by filesMode
    static std::map<bool, JobFigures> figures;
    return figures;
}

void runWindowJob(benchmark::State& state, bool filesMode) {
    double paints = 0;
    double perSecond = 0;
    qint64 gap = 0;
    qint64 stall = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto form = shownForm();
        if (filesMode) {
            shell().chosen = data().jobFiles;
            Control<ui::TOruButton>(*form, "btnAdd")->click();
            if (form->FileList()->Count() != kJobFiles) state.SkipWithError("the list is incomplete");
        } else {
            Control<ui::TOruButton>(*form, "btnDirectory")->click();
            Control<QComboBox>(*form, "cbPath")->setEditText(data().jobFolder);
            Control<QCheckBox>(*form, "cbxSub")->setChecked(true);
        }
        QEventLoop loop;
        shell().running = &loop;
        shell().lastBox.clear();
        QCoreApplication::processEvents();
        state.ResumeTiming();

        QElapsedTimer clock;
        clock.start();
        Watch watch(Control<QProgressBar>(*form, "ProgressBar1"), Control<QLabel>(*form, "lblEncrypted"));
        Control<ui::TOruButton>(*form, "btnEncrypt")->click();
        loop.exec();  // until the end box
        const double seconds = clock.elapsed() / 1000.0;

        state.PauseTiming();
        shell().running = nullptr;
        // Every file of this job fails, and the end box says how many.
        if (!shell().lastBox.startsWith(
                QStringLiteral("Finished, but %1 of the files failed.").arg(kJobFiles)))
            state.SkipWithError("the job did not finish");
        if (form->Job() == nullptr || form->Job()->FailedList.size() != static_cast<std::size_t>(kJobFiles))
            state.SkipWithError("the job did not see every file");
        paints = watch.paints;
        perSecond = seconds > 0 ? watch.paints / seconds : 0;
        gap = watch.longestPaintGap;
        stall = watch.longestStall;
        JobFigures& figures = jobFigures()[filesMode];
        figures.worstStall = std::max(figures.worstStall, stall);
        figures.worstSearchStall = std::max(figures.worstSearchStall, watch.longestSearchStall);
        figures.worstSearchPaintGap = std::max(figures.worstSearchPaintGap, watch.longestSearchPaintGap);
        if (figures.firstProgress < 0 || watch.firstPaint < figures.firstProgress) {
            figures.firstProgress = watch.firstPaint;
            figures.searchPaints = watch.searchPaints;
        }
        form.reset();
        state.ResumeTiming();
    }
    state.counters["files"] = kJobFiles;
    state.counters["paints"] = paints;
    state.counters["paints_per_s"] = perSecond;
    state.counters["max_paint_gap_ms"] = static_cast<double>(gap);
    state.counters["max_stall_ms"] = static_cast<double>(stall);
}

void BM_JobWindowDirectories(benchmark::State& state) {
    runWindowJob(state, false);
}
void BM_JobWindowFiles(benchmark::State& state) {
    runWindowJob(state, true);
}

// The same job through velmora-cli: the folder, recursive; its summary and failed lines to nothing.
void BM_JobCli(benchmark::State& state) {
    for (auto _ : state) {
        QProcess cli;
        cli.setStandardOutputFile(QProcess::nullDevice());
        cli.setStandardErrorFile(QProcess::nullDevice());
        cli.start(QStringLiteral(VELMORA_CLI_PATH), {QStringLiteral("--recursive"), data().jobFolder});
        if (!cli.waitForFinished(600'000) || cli.exitCode() != 1)
            state.SkipWithError("velmora-cli did not run the job");
    }
    state.counters["files"] = kJobFiles;
}

// The ratios, and the fastest time of a benchmark in milliseconds.
class Reporter : public benchratio::RatioReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        RatioReporter::ReportRuns(runs);
        for (const auto& run : runs)
            if (run.aggregate_name == "min")
                fastestMs_[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
    double fastestMs(const std::string& name) const {
        const auto found = fastestMs_.find(name);
        return found == fastestMs_.end() ? 0.0 : found->second;
    }

private:
    std::map<std::string, double> fastestMs_;  // in the benchmarks' unit, milliseconds
};

void addSetup(benchmark::internal::Benchmark* b) {
    benchratio::fastestOf(b, 5, benchmark::kMillisecond);
}
void jobSetup(benchmark::internal::Benchmark* b) {
    benchratio::fastestOf(b, 3, benchmark::kMillisecond);
    b->Iterations(1);
}

BENCHMARK(BM_AddByDialog)->Apply(addSetup)->Iterations(1);
BENCHMARK(BM_AddByDrop)->Apply(addSetup)->Iterations(1);
BENCHMARK(BM_JobCli)->Apply(jobSetup);
BENCHMARK(BM_JobWindowDirectories)->Apply(jobSetup);
BENCHMARK(BM_JobWindowFiles)->Apply(jobSetup);

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings, log and journal of these runs go to a folder of their own, for the window and the CLI.
    std::string home = (std::filesystem::temp_directory_path() / "velmora-window-home-XXXXXX").string();
    if (!::mkdtemp(home.data())) return 1;
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home));
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);

    app::App = std::make_unique<app::TApp>();
    app::App->StartLog();
    settings::Settings = settings::TProjObj::Create<settings::TKZVConfig>();
    data();  // built before any timing
    shell();

    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nAdding 10,000 files by the dialog's list:  %.0f ms  (target < 1000)\n",
                reporter.fastestMs("BM_AddByDialog"));
    std::printf("Adding 10,000 files by a drop:             %.0f ms  (target < 1000)\n",
                reporter.fastestMs("BM_AddByDrop"));
    std::printf("Job over 100,000 small files, window (directories) / velmora-cli:  %.3f  (target <= 1.50)\n",
                reporter.ratio("BM_JobWindowDirectories", "BM_JobCli"));
    std::printf("Job over 100,000 small files, window (file list) / velmora-cli:    %.3f  (target <= 1.50)\n",
                reporter.ratio("BM_JobWindowFiles", "BM_JobCli"));
    const JobFigures& directories = jobFigures()[false];
    std::printf(
        "Directories job over a tree of 100,000 files, longest event-loop block from the press to the "
        "end:  %lld ms  (target < 50 ms)\n",
        static_cast<long long>(directories.worstStall));
    std::printf(
        "  the same while searching, from the press to the first progress painted:  %lld ms  (target < 50 "
        "ms)\n",
        static_cast<long long>(directories.worstSearchStall));
    std::printf("Directories job, from the press to the first progress painted (the search):  %lld ms\n",
                static_cast<long long>(directories.firstProgress));
    std::printf(
        "Directories job, while searching: the count painted %d times, longest gap %lld ms  (target "
        "<= 100 ms)\n",
        directories.searchPaints, static_cast<long long>(directories.worstSearchPaintGap));
    std::printf(
        "File-list job of 100,000 files, longest event-loop block from the press to the end:  %lld ms\n",
        static_cast<long long>(jobFigures()[true].worstStall));

    settings::Settings.reset();
    app::App.reset();
    benchmark::Shutdown();
    std::filesystem::remove_all(home);
    return 0;
}
