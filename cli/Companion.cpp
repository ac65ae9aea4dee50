#include "cli/Companion.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <variant>

#include <sys/socket.h>
#include <unistd.h>

#include "engine/JobFormat.h"
#include "engine/JobMessages.h"
#include "engine/JobSetUp.h"
#include "engine/KZVThread.h"
#include "engine/Trailer.h"
#include "platform/FileSearch.h"
#include "platform/Messages.h"
#include "platform/SignalCatcher.h"
#include "platform/Utility.h"

namespace cli {

namespace {

void print(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

std::string local8(const QString& text) {
    return platform::ToLocal8Bit(text);
}

// Stands for the window: hears the job's messages, shows progress on a terminal, ends the loop.
class JobListener : public QObject {
public:
    JobListener(QEventLoop& loop, bool showProgress) : loop_(loop), showProgress_(showProgress) {}

    QString errorText;
    bool errorFails = false;                          // an error, not only a note
    const std::vector<std::string>* files = nullptr;  // the job's, to name the file in hand

protected:
    bool event(QEvent* event) override {
        const engine::TJobMessage* message = engine::AsJobMessage(event);
        if (message == nullptr) return QObject::event(event);
        std::visit(platform::TOverloaded{
                       [this](const engine::TJobProgress& progress) {
                           index_ = progress.Index;
                           count_ = progress.Count;
                           inFile_ = false;
                       },
                       [this](const engine::TJobFileProgress& progress) {
                           fileIndex_ = progress.Index;
                           count_ = progress.Count;
                           percent_ = progress.Total > 0
                                          ? static_cast<int>(100 * progress.Done / progress.Total)
                                          : 0;
                           inFile_ = true;
                           showProgress(false);
                       },
                       [this](const engine::TJobCounts& counts) {
                           encrypted_ = counts.Encrypted;
                           decrypted_ = counts.Decrypted;
                       },
                       [this](const engine::TJobFailedSize& failedSize) {
                           failed_ = failedSize.Failed;
                           mib_ = static_cast<std::int32_t>(failedSize.Mib);
                           showProgress(false);
                       },
                       [this](const engine::TJobError& error) {
                           errorText = error.Text;
                           errorFails |= error.Failure;
                       },
                       [this](const engine::TJobFinished&) {
                           showProgress(true);
                           loop_.quit();
                       },
                       // The command line finds its files before the job starts: no search to show.
                       [](const engine::TJobSearching&) {},
                   },
                   *message);
        return true;
    }

private:
    void showProgress(bool done) {
        if (!showProgress_) return;
        if (done) {
            print(stderr, "\r\x1b[K");
            return;
        }
        // A terminal can take a line per file, but there is no use in more than ten a second.
        const std::uint32_t now = platform::GetTickCount();
        if (shown_ && now - lastShown_ < 100 && index_ + 1 < count_) return;
        shown_ = true;
        lastShown_ = now;
        // A long toggle shows the file it is on and how far into it.
        const std::string place = inFile_ ? std::to_string(fileIndex_ + 1) + "/" + std::to_string(count_) +
                                                " " + std::to_string(percent_) + "%"
                                          : std::to_string(index_ + 1) + "/" + std::to_string(count_);
        const std::string line =
            "\r\x1b[K[" + place + "] " + nameInHand() + "  Encrypted: " + std::to_string(encrypted_) +
            "  Decrypted: " + std::to_string(decrypted_) + "  Failed: " + std::to_string(failed_) + "  " +
            local8(engine::FormatMegabytes(mib_, QLocale::c()));
        print(stderr, line);
        std::fflush(stderr);
    }

    // The name of the file in hand (the next one once a file is done), short enough for one line.
    std::string nameInHand() const {
        if (!files || files->empty()) return {};
        const std::size_t index = inFile_ ? fileIndex_ : std::min(index_ + 1, count_ - 1);
        if (index >= files->size()) return {};
        std::string name = EscapedForLine(std::filesystem::path((*files)[index]).filename().string());
        constexpr std::size_t kMostShown = 40;
        if (name.size() > kMostShown) {
            // Cut at a character's start, so the line shows no broken one.
            std::size_t cut = kMostShown;
            while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
            name = name.substr(0, cut) + "...";
        }
        return name;
    }

    QEventLoop& loop_;
    bool showProgress_;
    bool shown_ = false;
    std::uint32_t lastShown_ = 0;
    std::size_t index_ = 0;
    std::size_t count_ = 0;
    std::size_t fileIndex_ = 0;
    int percent_ = 0;
    bool inFile_ = false;
    std::size_t encrypted_ = 0;
    std::size_t decrypted_ = 0;
    std::size_t failed_ = 0;
    std::int32_t mib_ = 0;
};

}  // namespace

std::vector<std::string> ExpandPaths(const std::vector<std::string>& paths, const std::string& videoMask,
                                     bool recursive, std::vector<platform::TSearchProblem>* unread) {
    std::vector<std::string> files;
    for (const auto& path : paths) {
        std::error_code error;
        if (std::filesystem::is_directory(path, error))
            platform::SearchFile3(path, videoMask, files, recursive, unread);
        else
            files.push_back(path);  // whatever it is, the job reports what becomes of it
    }
    return files;
}

int RunJob(const TCliOptions& options, const TCliDefaults& defaults, const std::string& journalFolder) {
    if (engine::KeyIsCut(options.Key))
        print(stderr, "velmora-cli: note: the key is cut to its first " +
                          std::to_string(engine::kMaxKeyBytes) + " bytes\n");

    QEventLoop loop;
    JobListener listener(loop, ::isatty(STDERR_FILENO) == 1);
    // Ctrl+C and SIGTERM ask the job to stop after the file in hand (part way through a long one).
    // Closing the terminal (SIGHUP) is a stop like Ctrl+C, not a kill in the middle of a file.
    platform::TSignalCatcher catcher({SIGINT, SIGTERM, SIGHUP});
    QSocketNotifier notifier(catcher.ReadFd(), QSocketNotifier::Read);

    engine::TKZVThread job;
    std::vector<platform::TSearchProblem> unread;
    job.FileList = ExpandPaths(options.Paths, defaults.VideoMask, options.Recursive, &unread);
    listener.files = &job.FileList;
    for (auto& folder : unread) job.UnreadFolders.push_back({folder.Path, engine::kErrorIo, folder.Reason});
    engine::SetUpJob(job, {.Key = options.Key,
                           .FileType = options.FileType,
                           .Blocks = options.Blocks.value_or(defaults.Blocks),
                           .KeepFileTime = defaults.KeepFileTime,
                           .RemoveThumbnails = defaults.RemoveThumbnails,
                           .WholeStreams = options.WholeStreams || defaults.WholeStreams,
                           .JournalFolder = journalFolder,
                           .NotifyWnd = &listener});

    QObject::connect(&notifier, &QSocketNotifier::activated, &listener, [&] {
        if (catcher.Received() == 0) print(stderr, "\nvelmora-cli: stopping after the file in hand\n");
        catcher.Take();
        job.Terminate();
    });

    job.Resume();
    loop.exec();
    job.wait();

    const engine::TJobTexts texts;  // English whatever the language setting: scripts read these lines
    const QLocale c = QLocale::c();
    std::string out;
    out += "Encrypted: " + std::to_string(job.EncryptedList.size()) + "\n";
    out += "Decrypted: " + std::to_string(job.DecryptedList.size()) + "\n";
    out += "Failed: " + std::to_string(job.FailedList.size()) + "\n";
    out += "Processed file size: " + local8(engine::FormatByteSize(job.TotalBytes, texts, c)) + "\n";
    out += "Time escaped: " + local8(engine::FormatElapsed(job.Ticks, texts, c)) + "\n";
    for (const auto& failed : job.FailedList) {
        out +=
            "\"" + EscapedForLine(failed.Path) + "\" " + local8(engine::FailedCodePart(failed.Code, texts));
        if (!failed.Reason.empty()) out += " (" + EscapedForLine(failed.Reason) + ")";
        out += "\n";
    }
    print(stdout, out);
    if (!listener.errorText.isEmpty())
        print(stderr, std::string(listener.errorFails ? "velmora-cli: error: " : "velmora-cli: note: ") +
                          local8(listener.errorText) + "\n");

    if (const int signal = catcher.Received(); signal != 0) {
        if (job.StoppedAt.empty())
            print(stderr, "velmora-cli: stopped between two files\n");
        else
            print(stderr, "velmora-cli: stopped; the file in hand was " +
                              std::string(job.StoppedPutBack ? "left as it was: " : "finished: ") +
                              job.StoppedAt + "\n");
        // Ended as interrupted, so that a calling shell script stops too instead of going on.
        FinishOutput(kExitFailed);
        std::fflush(stderr);
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
    return job.FailedList.empty() && !listener.errorFails ? kExitOk : kExitFailed;
}

int RunStatus(const TCliOptions& options, const TCliDefaults& defaults,
              const engine::TPendingEntries& pending) {
    int status = kExitOk;
    std::vector<platform::TSearchProblem> unread;
    const std::vector<std::string> files =
        ExpandPaths(options.Paths, defaults.VideoMask, options.Recursive, &unread);
    for (const auto& folder : unread) {
        print(stdout, "error\t" + EscapedForLine(folder.Path) + "\t" + EscapedForLine(folder.Reason) + "\n");
        status = kExitFailed;
    }
    for (const auto& path : files) {
        std::string line;
        try {
            // Half changed by an interrupted run: neither state is the truth until it is restored.
            if (const auto problem = engine::PendingProblemFor(pending, path))
                throw std::runtime_error("holds an unfinished change from an interrupted run (" + *problem +
                                         ")");
            line = (engine::IsEncryptedFile(path) ? "encrypted\t" : "plain\t") + EscapedForLine(path) + "\n";
        } catch (const std::exception& error) {
            line = "error\t" + EscapedForLine(path) + "\t" + EscapedForLine(error.what()) + "\n";
            status = kExitFailed;
        }
        print(stdout, line);
    }
    return status;
}

std::string EscapedForLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (byte < 0x20 || byte == 0x7f) {
                    static constexpr char kHex[] = "0123456789abcdef";
                    out += "\\x";
                    out += kHex[byte >> 4];
                    out += kHex[byte & 0xf];
                } else {
                    out += c;
                }
        }
    }
    return out;
}

int FinishOutput(int status) {
    const bool written = std::fflush(stdout) == 0 && !std::ferror(stdout);
    if (written) return status;
    const int error = errno;
    std::fprintf(stderr, "velmora-cli: the output could not be written: %s\n", std::strerror(error));
    return status == kExitOk ? kExitFailed : status;
}

}  // namespace cli
