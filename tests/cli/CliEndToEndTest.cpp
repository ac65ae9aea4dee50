#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <regex>
#include <sstream>

#include "CliProcess.h"
#include "Version.h"
#include "engine/Trailer.h"
#include "engine/journal/Recover.h"
#include "platform/FileIo.h"
#include "support/DeepFolder.h"
#include "support/TempDir.h"
#include "support/ThumbnailCache.h"

using clitest::CliRun;
using clitest::runCli;
using testsupport::patternBytes;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;
using Lines = std::vector<std::string>;

namespace {

constexpr std::size_t kBlock = 524'288;

Lines lines(const std::string& text) {
    Lines result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

// The summary's five lines with the elapsed time taken out (it varies).
Lines summary(const std::string& out, std::string* time = nullptr) {
    Lines all = lines(out);
    if (all.size() >= 5) {
        if (time) *time = all[4];
        all[4] = "Time escaped: <t>";
    }
    return all;
}

}  // namespace

TEST(VelmoraCli, PrintsTheSummaryAndTheFailedLinesAndExitsOneOnAFailure) {
    TempDir dir;
    const auto plain = dir.file("a clip.mp4");
    const auto small = dir.file("small.mp4");
    const auto missing = dir.file("missing.mp4");
    writeFile(plain, patternBytes(2 * kBlock));
    writeFile(small, patternBytes(kBlock - 1));

    const auto result = runCli({plain, small, missing});
    std::string time;
    EXPECT_EQ(summary(result.out, &time),
              (Lines{"Encrypted: 1", "Decrypted: 0", "Failed: 2", "Processed file size: 1.0 MB",
                     "Time escaped: <t>", "\"" + small + "\" ErrCode: 3; file too small",
                     "\"" + missing + "\" ErrCode: 1; failed to read or write (No such file or directory)"}));
    EXPECT_TRUE(std::regex_match(time, std::regex(R"(Time escaped: \d+\.\ds)"))) << time;
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "") << "no progress display when standard error is no terminal";
    EXPECT_TRUE(engine::IsEncryptedFile(plain));
    EXPECT_EQ(readFile(small).size(), kBlock - 1);
}

// Scripts read one line per file: a name with a line break (legal on Linux) must not split its line.
TEST(VelmoraCli, NamesWithLineBreaksStayOnTheirLine) {
    TempDir dir;
    const auto odd = dir.file("two\nlines\tand\\.mp4");
    const auto small = dir.file("small\n.mp4");
    writeFile(odd, patternBytes(2 * kBlock));
    writeFile(small, patternBytes(kBlock - 1));
    const std::string escapedOdd = dir.file("two\\nlines\\tand\\\\.mp4");

    const auto status = runCli({"--status", odd});
    EXPECT_EQ(lines(status.out), Lines{"plain\t" + escapedOdd});
    const auto run = runCli({odd, small});
    const Lines printed = lines(run.out);
    ASSERT_EQ(printed.size(), 6u) << run.out;
    EXPECT_EQ(printed[5], "\"" + dir.file("small\\n.mp4") + "\" ErrCode: 3; file too small");
}

// A folder that cannot be read (here: deeper than the system's path limit) is a failure, told with its
// reason, not a silent success: the videos inside stay playable.
TEST(VelmoraCli, FoldersThatCannotBeReadFailTheRun) {
    TempDir dir;
    const auto video = dir.file("a.mp4");
    writeFile(video, patternBytes(2 * kBlock));
    const auto deepTop = dir.file("deep");
    const testsupport::DeepFolder deep(deepTop);

    const auto run = runCli({"--recursive", dir.path().string()});
    EXPECT_EQ(run.exitCode, 1);
    const Lines out = lines(run.out);
    ASSERT_EQ(out.size(), 6u) << run.out;
    EXPECT_EQ(out[0], "Encrypted: 1");
    EXPECT_EQ(out[2], "Failed: 1");
    EXPECT_EQ(out[5].rfind("\"" + deepTop, 0), 0u) << out[5];
    EXPECT_NE(out[5].find("ErrCode: 1; failed to read or write (File name too long)"), std::string::npos)
        << out[5];

    const auto status = runCli({"--status", "--recursive", dir.path().string()});
    EXPECT_EQ(status.exitCode, 1);
    EXPECT_NE(status.out.find("error\t" + deepTop), std::string::npos) << status.out;
}

// A summary that cannot be written is no success: a script would take the empty output for one.
TEST(VelmoraCli, OutputThatCannotBeWrittenEndsWithAFailure) {
    TempDir dir;
    const auto video = dir.file("a.mp4");
    writeFile(video, patternBytes(2 * kBlock));
    CliRun run{{"--status", video}, false, {}, "/dev/full"};
    const auto status = runCli(run);
    EXPECT_EQ(status.exitCode, 1);
    EXPECT_NE(status.err.find("the output could not be written"), std::string::npos) << status.err;
    run.args = {"--version"};
    EXPECT_EQ(runCli(run).exitCode, 1);
    run.args = {video};
    EXPECT_EQ(runCli(run).exitCode, 1);
    EXPECT_TRUE(engine::IsEncryptedFile(video)) << "the job itself ran";
}

TEST(VelmoraCli, FoldersYieldTheirVideoFilesAndAKeyedRoundTripRestoresThem) {
    TempDir dir;
    const auto root = dir.path();
    std::filesystem::create_directories(root / "sub");
    const std::string top = (root / "top.MKV").string();
    const std::string deep = (root / "sub/deep.mp4").string();
    const std::string notes = (root / "notes.txt").string();
    for (const auto& path : {top, deep, notes}) writeFile(path, patternBytes(kBlock + 1, path.size()));
    const auto original = readFile(top);

    auto result = runCli({"--key", "Sesame", root.string()});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(summary(result.out)[0], "Encrypted: 1") << "a folder without --recursive keeps to itself";
    result = runCli({"--recursive", "--key=Sesame", "--target", "unencrypted", root.string()});
    EXPECT_EQ(summary(result.out)[0], "Encrypted: 1") << "the top file is encrypted already: skipped";
    EXPECT_TRUE(engine::IsEncryptedFile(deep));
    EXPECT_FALSE(engine::IsEncryptedFile(notes)) << "not a video file";

    result = runCli({"--status", "--recursive", root.string(), notes, (root / "gone.mp4").string()});
    const Lines status = lines(result.out);
    ASSERT_EQ(status.size(), 4u) << result.out;
    EXPECT_EQ(status[0], "encrypted\t" + top);
    EXPECT_EQ(status[1], "encrypted\t" + deep);
    EXPECT_EQ(status[2], "plain\t" + notes);
    EXPECT_TRUE(status[3].starts_with("error\t" + (root / "gone.mp4").string() + "\t")) << status[3];
    EXPECT_GT(status[3].size(), ("error\t" + (root / "gone.mp4").string() + "\t").size()) << "with a message";
    EXPECT_EQ(result.exitCode, 1);

    result = runCli({"--key", "sesame", top});
    EXPECT_EQ(lines(result.out).at(5), "\"" + top + "\" ErrCode: 2; encryption key incorrect");
    EXPECT_EQ(result.exitCode, 1);

    result = runCli({"--key", "Sesame", "--target", "encrypted", "--recursive", root.string()});
    EXPECT_EQ(summary(result.out)[1], "Decrypted: 2");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(readFile(top), original);
}

TEST(VelmoraCli, BlocksAndTheLongKeyReachTheTrailer) {
    TempDir dir;
    const auto path = dir.file("long.mp4");
    const auto original = patternBytes(10 * kBlock);
    writeFile(path, original);
    const std::string key(64, 'q');

    // A longer key is refused, not cut: the file would open with any key that begins the same.
    const auto tooLong = runCli({"--key", key + "x", path});
    EXPECT_EQ(tooLong.exitCode, 2);
    EXPECT_EQ(
        tooLong.err,
        "velmora-cli: --key is 65 bytes long; a key holds at most 64 bytes\nTry 'velmora-cli --help'.\n");
    EXPECT_EQ(readFile(path), original);

    const auto cut = runCli({"--blocks", "9", "--key", key, path});
    ASSERT_EQ(cut.exitCode, 0);
    const auto encrypted = readFile(path);
    ASSERT_EQ(encrypted.size(), original.size() + 96);
    EXPECT_NE(encrypted[8 * kBlock], original[8 * kBlock]) << "the ninth block is transformed";
    EXPECT_EQ(encrypted[9 * kBlock], original[9 * kBlock]) << "the tenth is not";
    const std::uint8_t versionByte = static_cast<std::uint8_t>(~encrypted[original.size() + 68]);
    EXPECT_EQ(versionByte, static_cast<std::uint8_t>(velmora::kVersionText[0]));

    const auto whole = runCli({"--key", key, path});
    ASSERT_EQ(whole.exitCode, 0);
    EXPECT_EQ(whole.err, "") << "a key of 64 bytes is used whole";
    EXPECT_EQ(readFile(path), original);
}

TEST(VelmoraCli, WholeStreamsScramblesTransportStreamsToTheirLastWholeBlockAndNothingElse) {
    TempDir dir;
    const auto stream = dir.file("recording.mp4");  // a transport stream, whatever its name
    auto plainStream = patternBytes(80 * kBlock + 1000, 5);
    for (std::size_t at = 0; at < plainStream.size(); at += 188) plainStream[at] = 0x47;
    writeFile(stream, plainStream);
    const auto film = dir.file("film.mkv");
    const auto plainFilm = patternBytes(80 * kBlock + 1000, 6);
    writeFile(film, plainFilm);

    ASSERT_EQ(runCli({"--whole-streams", stream, film}).exitCode, 0);
    const auto scrambled = readFile(stream);
    EXPECT_NE(scrambled[79 * kBlock + 5], plainStream[79 * kBlock + 5]) << "the last whole block";
    EXPECT_TRUE(
        std::equal(plainStream.begin() + 80 * kBlock, plainStream.end(), scrambled.begin() + 80 * kBlock))
        << "the part block before the trailer stays";
    const auto other = readFile(film);
    EXPECT_NE(other[7 * kBlock], plainFilm[7 * kBlock]);
    EXPECT_EQ(other[8 * kBlock], plainFilm[8 * kBlock]) << "other kinds keep the setting's head";

    ASSERT_EQ(runCli({stream, film}).exitCode, 0) << "restoring needs no option";
    EXPECT_EQ(readFile(stream), plainStream);
    EXPECT_EQ(readFile(film), plainFilm);
}

TEST(VelmoraCli, VersionHelpAndUsageErrors) {
    auto result = runCli({"--version"});
    EXPECT_EQ(result.out, std::string(velmora::kVersionText) + "\n");
    EXPECT_EQ(result.exitCode, 0);

    result = runCli({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    for (const char* word : {"--key", "--target", "--blocks", "--whole-streams", "--recursive", "--status",
                             "--version", "Exit status"})
        EXPECT_NE(result.out.find(word), std::string::npos) << word;

    for (const auto& args : {Lines{}, Lines{"--target", "all", "x.mp4"}, Lines{"--frobnicate", "x.mp4"},
                             Lines{"--blocks", "0", "x.mp4"}}) {
        result = runCli(args);
        EXPECT_EQ(result.exitCode, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(result.err.starts_with("velmora-cli: ")) << result.err;
    }
}

TEST(VelmoraCli, CtrlCStopsAfterTheFileInHandAndStillPrintsTheSummary) {
    // Ctrl+C, and a terminal closed under it, alike.
    for (const int stop : {SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(stop));
        TempDir dir;
        const auto path = dir.file("clip.mp4");
        const auto original = patternBytes(kBlock);
        writeFile(path, original);
        // The same file many times over: each pass toggles it, so its final state tells how many ran.
        CliRun run;
        run.args.assign(3000, path);
        run.errOnTerminal = true;
        bool sent = false;
        run.onErr = [&](const std::string& err, int pid) {
            if (!sent && err.find("[1/3000]") != std::string::npos) {
                ::kill(pid, stop);
                sent = true;
            }
        };
        const auto result = runCli(run);
        ASSERT_TRUE(sent) << "no progress display on a terminal: " << result.err;
        EXPECT_EQ(result.termSignal, stop) << "ends as interrupted, so that a calling script stops too";

        const Lines out = lines(result.out);
        ASSERT_GE(out.size(), 5u) << result.out;
        std::size_t encrypted = 0;
        std::size_t decrypted = 0;
        ASSERT_EQ(std::sscanf(out[0].c_str(), "Encrypted: %zu", &encrypted), 1);
        ASSERT_EQ(std::sscanf(out[1].c_str(), "Decrypted: %zu", &decrypted), 1);
        EXPECT_EQ(out[2], "Failed: 0");
        EXPECT_GE(encrypted + decrypted, 1u);
        EXPECT_LT(encrypted + decrypted, 3000u) << "not canceled";
        EXPECT_EQ(engine::IsEncryptedFile(path), encrypted > decrypted) << "the last file was finished";
        if (encrypted == decrypted) {
            EXPECT_EQ(readFile(path), original);
        }
        EXPECT_NE(result.err.find("stopping after the file in hand"), std::string::npos) << result.err;
        // What the stop did (it may also land between two files), and which file the line was on.
        EXPECT_TRUE(result.err.find("the file in hand was finished: " + path) != std::string::npos ||
                    result.err.find("stopped between two files") != std::string::npos)
            << result.err;
        EXPECT_NE(result.err.find("] clip.mp4  Encrypted: "), std::string::npos) << result.err;
    }
}

TEST(VelmoraCli, AJournalThatCannotBeMadeSaysWhyOnceAndChangesNothing) {
    TempDir dir;
    const std::string dataHome = dir.file("data");
    ASSERT_EQ(::setenv("XDG_DATA_HOME", dataHome.c_str(), 1), 0);
    const std::string dataFolder = dataHome + "/Brindlework/Velmora/";
    platform::makeFolder(dataFolder);
    writeFile(dataFolder + "Journal", {1});  // a file where the journal folder belongs
    const auto first = dir.file("a.mp4");
    const auto second = dir.file("b.mp4");
    const auto plain = patternBytes(2 * kBlock);
    writeFile(first, plain);
    writeFile(second, plain);

    const auto result = runCli({first, second});
    EXPECT_EQ(result.exitCode, 1);
    const std::string reason = "recovery journal in " + dataFolder + "Journal cannot be created";
    const auto at = result.err.find(reason);
    ASSERT_NE(at, std::string::npos) << result.err;
    EXPECT_EQ(result.err.find(reason, at + 1), std::string::npos) << "told once per job: " << result.err;
    EXPECT_NE(result.err.find("then run again"), std::string::npos) << result.err;
    EXPECT_EQ(readFile(first), plain);
    EXPECT_EQ(readFile(second), plain);
}

namespace {

// Leaves what a keyless toggle of two blocks leaves when its process dies after the first block: the
// entry recorded and durable, the first block inverted, nobody to settle the entry.
void dieAfterTheFirstBlock(const std::string& journalFolder, const std::string& video,
                           engine::TJournal::Operation operation) {
    auto journal = engine::TJournal::Create(journalFolder);
    auto file = platform::localFileSystem().open(video, platform::FileAccess::ReadWrite);
    std::vector<std::uint8_t> head(kBlock);
    journal->Record(*file, {operation, 2, "", {}, false}, head);
    journal->Commit();
    file->readAt(0, head);
    for (auto& b : head) b = static_cast<std::uint8_t>(~b);
    file->writeAt(0, head);
    journal->Unsettled(*file);
}

}  // namespace

TEST(VelmoraCli, UndoesAnInterruptedToggleBeforeLookingAtAnyFile) {
    TempDir dir;
    // A data folder of this test's own, so that no other companion run recovers the entry first.
    const std::string dataHome = dir.file("data");
    ASSERT_EQ(::setenv("XDG_DATA_HOME", dataHome.c_str(), 1), 0);
    const std::string dataFolder = dataHome + "/Brindlework/Velmora/";

    const auto video = dir.file("clip.mp4");
    const auto plain = patternBytes(2 * kBlock);
    writeFile(video, plain);
    // A run that died mid-encryption: its entry recorded, the video's head already scrambled.
    dieAfterTheFirstBlock(dataFolder + "Journal", video, engine::TJournal::Operation::Encrypt);

    const auto result = runCli({"--status", video});
    EXPECT_EQ(result.out, "plain\t" + video + "\n");
    EXPECT_NE(result.err.find("restored after an interrupted run: " + video), std::string::npos)
        << result.err;
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(readFile(video), plain);
    const auto log = readFile(dataFolder + "Log.txt");
    EXPECT_NE(std::string(log.begin(), log.end()).find("Restored after an interrupted run: " + video),
              std::string::npos);

    // A normal run leaves its entry done; a start does not wait for the video to reach the disk, and
    // keeps the entry for the next run that touches the video, which writes it back first.
    EXPECT_EQ(runCli({video}).exitCode, 0);
    const auto status = runCli({"--status", video});
    EXPECT_EQ(status.err, "");
    EXPECT_EQ(status.out, "encrypted\t" + video + "\n");
    EXPECT_EQ(platform::listFiles(dataFolder + "Journal", engine::kJournalSuffix).size(), 1u);
    EXPECT_TRUE(engine::IsEncryptedFile(video));

    // Half changed again, then renamed: recovery cannot find it, so --status must not call it plain
    // or encrypted, and a run settles it first and says nothing of it as not restored.
    dieAfterTheFirstBlock(dataFolder + "Journal", video, engine::TJournal::Operation::Decrypt);
    const auto renamed = dir.file("renamed.mp4");
    std::filesystem::rename(video, renamed);
    const auto unsure = runCli({"--status", renamed});
    EXPECT_TRUE(unsure.out.starts_with("error\t" + renamed + "\t")) << unsure.out;
    EXPECT_EQ(unsure.exitCode, 1);
    const auto run = runCli({renamed});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("Not restored yet"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("Decrypted: 1"), std::string::npos) << run.out;
    EXPECT_EQ(readFile(renamed), plain) << "restored from its half, then decrypted whole";
}

// File managers go on showing a video's cached picture while its last-write time is unchanged, which
// the toggle keeps: encrypting takes the pictures out of the user's thumbnail cache, restoring only
// the failure notes; the settings file can turn it off.
TEST(VelmoraCli, EncryptingRemovesTheVideosThumbnailsUnlessTheSettingsSayNo) {
    TempDir dir;
    ASSERT_EQ(::setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1), 0);
    ASSERT_EQ(::setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1), 0);
    const testsupport::TThumbnailCache cache(QString::fromStdString(dir.file("cache/thumbnails")));
    const auto video = dir.file("Été 2024 – plage.mp4");
    writeFile(video, patternBytes(2 * kBlock));
    const QByteArray uri = "file://" + QByteArray::fromStdString(dir.path().string()) +
                           "/%C3%89t%C3%A9%202024%20%E2%80%93%20plage.mp4";
    const QString other = cache.Write("normal", "file:///elsewhere/other.mp4", 1);
    cache.Write("normal", uri, 1);
    cache.Write("x-large", uri, 1);
    cache.Write("fail/gnome-thumbnail-factory", uri, 1);

    EXPECT_EQ(runCli({video}).exitCode, 0);
    EXPECT_EQ(cache.Pictures(), QStringList{other});

    const QString remade = cache.Write("large", uri, 1);
    cache.Write("fail/gnome-thumbnail-factory", uri, 1);
    EXPECT_EQ(runCli({video}).exitCode, 0);  // restores
    EXPECT_EQ(cache.Pictures(), (QStringList{remade, other}));

    platform::makeFolder(dir.file("data/Brindlework/Velmora/"));
    const std::string settingsFile = dir.file("data/Brindlework/Velmora/ConfigSet.kzvset");
    const std::string off = "<Config><RemoveThumbnails>False</RemoveThumbnails></Config>";
    writeFile(settingsFile, std::vector<std::uint8_t>(off.begin(), off.end()));
    EXPECT_EQ(runCli({video}).exitCode, 0);
    EXPECT_TRUE(engine::IsEncryptedFile(video));
    EXPECT_EQ(cache.Pictures(), (QStringList{remade, other}));
    ::unsetenv("XDG_CACHE_HOME");
    ::unsetenv("XDG_DATA_HOME");
}
