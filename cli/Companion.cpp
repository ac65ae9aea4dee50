#include "cli/Companion.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>
#include <unordered_set>

#include <sys/socket.h>
#include <unistd.h>

#include "cli/RunNotices.h"
#include "engine/JobFormat.h"
#include "engine/JobMessages.h"
#include "engine/JobSetUp.h"
#include "engine/Trailer.h"
#include "jobs/JobController.h"
#include "platform/FileSearch.h"
#include "platform/SignalCatcher.h"
#include "platform/Utility.h"
#include "settings/AppFolders.h"

namespace cli {

namespace {

void print(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

std::string local8(const QString& text) {
    return platform::ToLocal8Bit(text);
}

// A terminal can take a line per file, but there is no use in more than ten a second.
constexpr std::uint32_t kProgressLineMs = 100;

// The progress line on a terminal: the file in hand (how far into it during a long toggle), its name
// short enough for one line, and the counts so far.
std::string progressLine(const jobs::TJobProgressState& state, const std::vector<std::string>& files) {
    // Between files the files done so far; during a long toggle the file in hand and how far into it.
    const std::size_t inHand = jobs::FileInHand(state);
    std::string place =
        std::to_string(state.InFile ? inHand + 1 : state.Index + 1) + "/" + std::to_string(state.Count);
    if (state.InFile) place += " " + std::to_string(jobs::FilePercent(state)) + "%";
    std::string name;
    if (inHand < files.size()) {
        name = EscapedForLine(std::filesystem::path(files[inHand]).filename().string());
        constexpr std::size_t kMostShown = 40;
        if (name.size() > kMostShown) {
            // Cut at a character's start, so the line shows no broken one.
            std::size_t cut = kMostShown;
            while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
            name = name.substr(0, cut) + "...";
        }
    }
    return "\r\x1b[K[" + place + "] " + name + "  Encrypted: " + std::to_string(state.Encrypted) +
           "  Decrypted: " + std::to_string(state.Decrypted) + "  Failed: " + std::to_string(state.Failed) +
           "  " + local8(engine::FormatMegabytes(static_cast<std::int32_t>(state.Mib), QLocale::c()));
}

// Each file once, in the order first named. A file chosen both by itself and through its folder
// would otherwise be scrambled and then restored, and look hidden while it is not.
std::vector<std::string> OncePerFile(std::vector<std::string> files) {
    std::unordered_set<std::string> seen;
    std::erase_if(files, [&seen](const std::string& path) {
        std::error_code error;
        const std::filesystem::path real = std::filesystem::weakly_canonical(path, error);
        return !seen.insert(error ? path : real.string()).second;
    });
    return files;
}

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

int RunJob(const TCliOptions& flags, const engine::TJobOptions& options) {
    QEventLoop loop;
    jobs::TJobController controller(kProgressLineMs);
    // Ctrl+C and SIGTERM ask the job to stop after the file in hand (part way through a long one).
    // Closing the terminal (SIGHUP) is a stop like Ctrl+C, not a kill in the middle of a file.
    platform::TSignalCatcher catcher({SIGINT, SIGTERM, SIGHUP});
    QSocketNotifier notifier(catcher.ReadFd(), QSocketNotifier::Read);
    std::unique_ptr<TRunNotices> notices;
    QObject::connect(&notifier, &QSocketNotifier::activated, &controller, [&] {
        const bool first = catcher.Received() == 0;
        catcher.Take();
        if (!controller.Running()) {  // the run is over: only the wait for the notification's answer ends
            if (notices) notices->StopWaiting();
            return;
        }
        if (first) print(stderr, "\nvelmora-cli: stopping after the file in hand\n");
        controller.Stop();
    });

    jobs::TJobInput input;
    std::vector<platform::TSearchProblem> unread;
    input.Files = ExpandPaths(flags.Paths, options.VideoMask, flags.Recursive, &unread);
    if (flags.FromFileManager) input.Files = OncePerFile(std::move(input.Files));
    for (auto& folder : unread) input.UnreadFolders.push_back({folder.Path, engine::kErrorIo, folder.Reason});
    const std::vector<std::string> files = input.Files;  // to name the file in hand
    if (flags.Notify) notices = std::make_unique<TRunNotices>(controller, files, settings::WindowProgram());

    const bool showProgress = ::isatty(STDERR_FILENO) == 1;
    QString errorText;
    bool errorFails = false;  // an error, not only a note
    QObject::connect(&controller, &jobs::TJobController::ProgressChanged, &controller, [&] {
        if (!showProgress || controller.Progress().Count == 0) return;
        print(stderr, progressLine(controller.Progress(), files));
        std::fflush(stderr);
    });
    QObject::connect(&controller, &jobs::TJobController::JobError, &controller,
                     [&](const QString& text, bool failure) {
                         errorText = text;
                         errorFails |= failure;
                     });
    QObject::connect(&controller, &jobs::TJobController::Finished, &controller, [&] {
        if (showProgress) print(stderr, "\r\x1b[K");
        loop.quit();
    });

    controller.Start(options, std::move(input));
    loop.exec();
    const engine::TKZVThread& job = *controller.Job();

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
    if (!errorText.isEmpty())
        print(stderr, std::string(errorFails ? "velmora-cli: error: " : "velmora-cli: note: ") +
                          local8(errorText) + "\n");

    const int signal = catcher.Received();
    const bool stoppedByUser = notices && notices->StoppedByUser();
    if (signal != 0 || stoppedByUser) {
        if (job.StoppedAt.empty())
            print(stderr, "velmora-cli: stopped between two files\n");
        else
            print(stderr, "velmora-cli: stopped; the file in hand was " +
                              std::string(job.StoppedPutBack ? "left as it was: " : "finished: ") +
                              job.StoppedAt + "\n");
    }
    bool answerAwaited = false;
    if (notices)
        answerAwaited = notices->Tell({job.EncryptedList.size(), job.DecryptedList.size(), job.FailedList,
                                       signal != 0 || stoppedByUser, errorFails ? errorText : QString()});
    if (signal != 0) {
        // Ended as interrupted, so that a calling shell script stops too instead of going on.
        FinishOutput(kExitFailed);
        std::fflush(stderr);
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
    if (answerAwaited) {
        std::fflush(stdout);  // the summary is not held back while the button is kept working
        notices->WaitForAnswer(TRunNotices::kAnswerWaitMs);
    }
    return job.FailedList.empty() && !errorFails && !stoppedByUser ? kExitOk : kExitFailed;
}

int RunStatus(const TCliOptions& flags, const engine::TJobOptions& options,
              const engine::TPendingEntries& pending) {
    int status = kExitOk;
    std::vector<platform::TSearchProblem> unread;
    const std::vector<std::string> files =
        ExpandPaths(flags.Paths, options.VideoMask, flags.Recursive, &unread);
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
