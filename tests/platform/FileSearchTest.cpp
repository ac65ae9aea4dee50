#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileSearch.h"
#include "support/DeepFolder.h"
#include "support/TempDir.h"

using platform::FindDirFile;
using platform::SearchFile3;
using testsupport::TempDir;
using V = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

void touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    testsupport::writeFile(path.string(), {});
}

// root/ b.MP4 a.mkv c.txt .mp4 x.mp4.part
//       sub/ d.avi e.doc   sub/deeper/ f.mkv
//       z/ g.mp4
class Tree : public ::testing::Test {
protected:
    TempDir dir;
    std::string root = dir.path().string();
    void SetUp() override {
        for (const char* name : {"b.MP4", "a.mkv", "c.txt", ".mp4", "x.mp4.part", "sub/d.avi", "sub/e.doc",
                                 "sub/deeper/f.mkv", "z/g.mp4"})
            touch(dir.path() / name);
    }
    std::string at(const std::string& name) const { return root + "/" + name; }
};

}  // namespace

TEST_F(Tree, MasksMatchWithoutRegardToCaseFilesInNameOrderThenSubfolders) {
    V list;
    SearchFile3(root, "*.mp4;*.mkv;*.avi", list, false);
    EXPECT_EQ(list, (V{at(".mp4"), at("a.mkv"), at("b.MP4")}));

    list.clear();
    SearchFile3(root + "/", "*.mp4;*.mkv;*.avi", list, true);
    EXPECT_EQ(list, (V{at(".mp4"), at("a.mkv"), at("b.MP4"), at("sub/d.avi"), at("sub/deeper/f.mkv"),
                       at("z/g.mp4")}))
        << "a trailing slash changes nothing";
}

TEST_F(Tree, AppendsWithoutClearingAndOtherPatternForms) {
    V list{"kept"};
    SearchFile3(root + "/sub", "*.*", list, false);
    EXPECT_EQ(list, (V{"kept", at("sub/d.avi"), at("sub/e.doc")}));

    list.clear();
    SearchFile3(root, "?.mkv; *.PART ", list, true);
    EXPECT_EQ(list, (V{at("a.mkv"), at("x.mp4.part"), at("sub/deeper/f.mkv")}));

    list.clear();
    SearchFile3(root, "*.mp4.part", list, false);
    EXPECT_EQ(list, V{at("x.mp4.part")}) << "a suffix of two extensions";

    list.clear();
    SearchFile3(root, "", list, true);
    SearchFile3(root + "/missing", "*.*", list, true);
    SearchFile3(at("a.mkv"), "*.*", list, true);
    EXPECT_TRUE(list.empty());
}

TEST_F(Tree, LinksToFilesCountLinksToFoldersAreNotFollowed) {
    fs::create_symlink(dir.path() / "sub", dir.path() / "loop");
    fs::create_directory_symlink(dir.path(), dir.path() / "sub/up");
    fs::create_symlink(dir.path() / "a.mkv", dir.path() / "link.mkv");
    fs::create_symlink(dir.path() / "gone.mkv", dir.path() / "dangling.mkv");
    V list;
    SearchFile3(root, "*.mkv", list, true);
    EXPECT_EQ(list, (V{at("a.mkv"), at("link.mkv"), at("sub/deeper/f.mkv")}));
}

TEST_F(Tree, FindDirFileForms) {
    touch(dir.path() / "Log.txt");
    touch(dir.path() / "Log3.txt");
    touch(dir.path() / "Languages/English.xml");
    touch(dir.path() / "Languages/Chinese.XML");
    V logs;
    FindDirFile(root + "/Log*.txt", logs);
    EXPECT_EQ(logs, (V{at("Log.txt"), at("Log3.txt")}));
    V languages;
    FindDirFile(root + "/Languages/", ".xml", languages);
    EXPECT_EQ(languages, (V{at("Languages/Chinese.XML"), at("Languages/English.xml")}));
}

// The job asks between entries whether to go on, which is how the user sees a long search and stops
// it: asked at every entry with the videos found so far; told to stop, it reads no further.
TEST_F(Tree, ASearchAsksAtEveryEntryAndStopsWhereItIsTold) {
    const char* videos = "*.mp4;*.mkv;*.avi";
    V all;
    std::vector<std::size_t> asked;
    EXPECT_TRUE(SearchFile3(root, videos, all, true, nullptr, [&](std::size_t found) {
        asked.push_back(found);
        return true;
    }));
    EXPECT_EQ(all.size(), 6u);
    EXPECT_EQ(asked.size(), 12u) << "7 entries in the top folder, 3 in sub, 1 in sub/deeper, 1 in z";
    EXPECT_TRUE(std::is_sorted(asked.begin(), asked.end()));
    EXPECT_EQ(asked.back(), 5u) << "asked before z/g.mp4, the last entry";

    // Stopped at the first entry of sub: the top folder's videos are listed, nothing below it.
    V part{"kept"};
    int calls = 0;
    EXPECT_FALSE(SearchFile3(root, videos, part, true, nullptr, [&](std::size_t) { return ++calls < 8; }));
    EXPECT_EQ(calls, 8);
    EXPECT_EQ(part, (V{"kept", at(".mp4"), at("a.mkv"), at("b.MP4")}));
}

// Folders the search cannot read must not pass unnoticed: their videos would stay playable while the
// run reports nothing failed. A path past the system's length limit fails for root too.
TEST_F(Tree, FoldersThatCannotBeReadAreReportedWithTheirReason) {
    const std::string deepTop = at("deep");
    const testsupport::DeepFolder deep(deepTop);

    V found;
    std::vector<platform::TSearchProblem> problems;
    SearchFile3(root, "*.mp4", found, true, &problems);
    ASSERT_FALSE(problems.empty());
    EXPECT_EQ(problems.front().Path.rfind(deepTop, 0), 0u) << problems.front().Path;
    EXPECT_EQ(problems.front().Reason, std::strerror(ENAMETOOLONG));
    EXPECT_NE(std::find(found.begin(), found.end(), at("z/g.mp4")), found.end()) << "the rest is searched";

    if (::geteuid() != 0) {  // root reads any folder
        ::chmod(at("z").c_str(), 0);
        problems.clear();
        found.clear();
        SearchFile3(root, "*.mp4", found, true, &problems);
        ::chmod(at("z").c_str(), 0700);
        EXPECT_NE(std::find(problems.begin(), problems.end(),
                            platform::TSearchProblem{at("z"), std::strerror(EACCES)}),
                  problems.end());
    }
}
