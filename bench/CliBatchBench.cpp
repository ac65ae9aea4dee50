// A batch as a user runs it: velmora-cli started on 300 videos of 5 MiB, encrypting them, then again
// decrypting them, against bare_toggle doing the same opens, reads, writes, appends, cuts and time
// restores without transform or journal, in the same run. Every pass starts after a sync, so that
// neither inherits the other's dirty pages. Settings, journal and files live in a folder of their own.
// Prints the fastest of each and their ratios (target: 1.5 each way). Then, with the last pass's
// entries left done and 3 GiB of another program's writes pending, how long `velmora-cli --status`
// takes to answer, against the write-back of that data that a start must not wait for. Last, the
// same batch with --notify, whose notification server (or its absence) a run must not wait for
// either; and the encryption once more with a desktop recent-files list of 2,300 entries (1 MiB) that
// names every video, which a run reads and rewrites.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kFiles = 300;
constexpr std::size_t kFileSize = 5 << 20;
constexpr int kRounds = 6;

// Runs the program with its arguments; the time from the start to the end of the process. Each run
// starts after a sync unless `afterSync` is false.
double timed(const std::vector<std::string>& args, bool afterSync = true) {
    if (afterSync) ::sync();
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        if (!std::freopen("/dev/null", "w", stdout)) _exit(127);
        ::execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed (status %d)\n", argv[0], status);
        std::exit(1);
    }
    return seconds;
}

}  // namespace

int main() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velmora-clibench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return 1;
    const std::filesystem::path dir = pattern;
    for (const char* sub : {"config", "data", "state", "cache", "videos"})
        std::filesystem::create_directories(dir / sub);
    ::setenv("HOME", dir.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);

    std::vector<std::string> videos;
    std::mt19937_64 random(7);
    std::vector<std::uint64_t> data(kFileSize / 8);
    for (int f = 0; f < kFiles; ++f) {
        for (auto& word : data) word = random();
        videos.push_back((dir / "videos" / ("video" + std::to_string(f) + ".mp4")).string());
        std::FILE* out = std::fopen(videos.back().c_str(), "wb");
        if (!out || std::fwrite(data.data(), 8, data.size(), out) != data.size()) return 1;
        std::fclose(out);
    }

    const auto command = [&](const std::string& program, std::vector<std::string> head) {
        head.insert(head.begin(), program);
        head.insert(head.end(), videos.begin(), videos.end());
        return head;
    };
    const auto cliEncrypt = command(VELMORA_CLI_PATH, {"--key", "a key", "--target", "unencrypted"});
    const auto cliDecrypt = command(VELMORA_CLI_PATH, {"--key", "a key", "--target", "encrypted"});
    const auto notifyEncrypt =
        command(VELMORA_CLI_PATH, {"--notify", "--key", "a key", "--target", "unencrypted"});
    const auto notifyDecrypt =
        command(VELMORA_CLI_PATH, {"--notify", "--key", "a key", "--target", "encrypted"});
    const auto bareEncrypt = command(BARE_TOGGLE_PATH, {"encrypt"});
    const auto bareDecrypt = command(BARE_TOGGLE_PATH, {"decrypt"});

    double cliEnc = 1e9, cliDec = 1e9, bareEnc = 1e9, bareDec = 1e9, notifyEnc = 1e9, notifyDec = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        bareEnc = std::min(bareEnc, timed(bareEncrypt));
        bareDec = std::min(bareDec, timed(bareDecrypt));
        // Which comes first takes turns: a pass is quicker or slower after the one before it.
        const auto plain = [&] {
            cliEnc = std::min(cliEnc, timed(cliEncrypt));
            cliDec = std::min(cliDec, timed(cliDecrypt));
        };
        const auto notifying = [&] {
            notifyEnc = std::min(notifyEnc, timed(notifyEncrypt));
            notifyDec = std::min(notifyDec, timed(notifyDecrypt));
        };
        if (round % 2 == 0) {
            plain();
            notifying();
        } else {
            notifying();
            plain();
        }
    }

    // The desktop's recent files: 2,000 other videos and the batch's own, as GTK writes them.
    const auto bookmark = [](const std::string& path) {
        return "  <bookmark href=\"file://" + path +
               "\" added=\"2026-01-01T10:00:00Z\" modified=\"2026-01-01T10:00:00Z\" "
               "visited=\"2026-01-01T10:00:00Z\">\n    <info>\n      <metadata "
               "owner=\"http://freedesktop.org\">\n"
               "        <mime:mime-type type=\"video/mp4\"/>\n        <bookmark:applications>\n"
               "          <bookmark:application name=\"Videos\" exec=\"&apos;totem %u&apos;\" "
               "modified=\"2026-01-01T10:00:00Z\" count=\"1\"/>\n        </bookmark:applications>\n"
               "      </metadata>\n    </info>\n  </bookmark>\n";
    };
    std::string recent =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\" "
        "xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\" "
        "xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (int i = 0; i < 2000; ++i)
        recent += bookmark("/home/someone/Videos/other" + std::to_string(i) + ".mkv");
    for (const auto& video : videos) recent += bookmark(video);
    recent += "</xbel>\n";
    double cliEncRecent = 1e9;
    const std::filesystem::path recentList = dir / "data" / "recently-used.xbel";
    for (int round = 0; round < kRounds; ++round) {
        std::FILE* list = std::fopen(recentList.c_str(), "wb");
        if (!list || std::fwrite(recent.data(), 1, recent.size(), list) != recent.size()) return 1;
        std::fclose(list);
        cliEncRecent = std::min(cliEncRecent, timed(cliEncrypt));
        timed(cliDecrypt);
    }
    std::filesystem::remove(recentList);

    // Another program's data, written and not yet on the disk.
    {
        std::vector<std::uint8_t> chunk(64 << 20, 0x5A);
        std::FILE* other = std::fopen((dir / "other-program.bin").c_str(), "wb");
        for (int i = 0; other && i < 48; ++i) std::fwrite(chunk.data(), 1, chunk.size(), other);
        if (!other || std::fclose(other) != 0) return 1;
    }
    const double status = timed({VELMORA_CLI_PATH, "--status", videos.front()}, false);
    const auto syncStart = std::chrono::steady_clock::now();
    ::sync();
    const double writeBack =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - syncStart).count();

    std::filesystem::remove_all(dir);
    std::printf("300 files of 5 MiB, fastest of %d passes, each after a sync:\n", kRounds);
    std::printf("  bare encrypt %.0f ms, velmora-cli encrypt %.0f ms: %.2f x (target <= 1.5)\n",
                bareEnc * 1e3, cliEnc * 1e3, cliEnc / bareEnc);
    std::printf("  bare decrypt %.0f ms, velmora-cli decrypt %.0f ms: %.2f x (target <= 1.5)\n",
                bareDec * 1e3, cliDec * 1e3, cliDec / bareDec);
    std::printf(
        "velmora-cli --status with the batch's entries done and 3 GiB of another program's writes\n"
        "pending: %.0f ms; writing that data back took %.0f ms after it\n",
        status * 1e3, writeBack * 1e3);
    std::printf(
        "with --notify (session bus: %s): encrypt %.0f ms (%.2f x without), decrypt %.0f ms (%.2f x)\n",
        std::getenv("DBUS_SESSION_BUS_ADDRESS") ? "yes" : "none", notifyEnc * 1e3, notifyEnc / cliEnc,
        notifyDec * 1e3, notifyDec / cliDec);
    std::printf("encrypt with a %zu KiB recent-files list naming every video: %.0f ms (%.2f x without)\n",
                recent.size() / 1024, cliEncRecent * 1e3, cliEncRecent / cliEnc);
    return 0;
}
