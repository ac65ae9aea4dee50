#include <gtest/gtest.h>

#include "cli/CommandLine.h"

using namespace cli;
using Args = std::vector<std::string>;

TEST(ParseCommandLine, OptionsInBothFormsAndPathsInOrder) {
    const auto parsed =
        ParseCommandLine(Args{"b.mp4", "--key=s3cret", "--target", "unencrypted", "--blocks=9", "--recursive",
                              "--whole-streams", "-", "a.mp4", "--", "--key", "-x.mp4"});
    ASSERT_TRUE(parsed.Options) << parsed.Error;
    const auto& o = *parsed.Options;
    EXPECT_EQ(o.Action, TCliAction::Run);
    EXPECT_EQ(o.Key, "s3cret");
    EXPECT_EQ(o.FileType, 2);
    EXPECT_EQ(o.Blocks, 9);
    EXPECT_TRUE(o.Recursive);
    EXPECT_TRUE(o.WholeStreams);
    EXPECT_EQ(o.Paths, (Args{"b.mp4", "-", "a.mp4", "--key", "-x.mp4"})) << "after -- everything is a path";

    const auto defaults = ParseCommandLine(Args{"a.mp4"});
    ASSERT_TRUE(defaults.Options);
    EXPECT_EQ(defaults.Options->FileType, 0);
    EXPECT_FALSE(defaults.Options->Blocks.has_value()) << "the setting decides";
    EXPECT_TRUE(defaults.Options->Key.empty());
    EXPECT_FALSE(defaults.Options->WholeStreams) << "the setting decides";
}

TEST(ParseCommandLine, TheKeyIsTakenWholeUpToWhatTheTrailerKeeps) {
    const std::string key64(64, 'k');
    auto parsed = ParseCommandLine(Args{"--key", key64, "a"});
    ASSERT_TRUE(parsed.Options);
    EXPECT_EQ(parsed.Options->Key, key64);

    // One byte more would be cut, and a key that only begins the same would open the file.
    parsed = ParseCommandLine(Args{"--key=" + key64 + "k", "a"});
    EXPECT_FALSE(parsed.Options);
    EXPECT_EQ(parsed.Error, "--key is 65 bytes long; a key holds at most 64 bytes");

    parsed = ParseCommandLine(Args{"--key=", "a"});
    ASSERT_TRUE(parsed.Options);
    EXPECT_TRUE(parsed.Options->Key.empty());
}

TEST(ParseCommandLine, UsageErrorsSayWhatIsWrong) {
    for (const Args& args : {Args{}, Args{"--recursive"}, Args{"--bogus", "a"}, Args{"--target", "all", "a"},
                             Args{"--blocks", "7", "a"}, Args{"--blocks", "200001", "a"},
                             Args{"--blocks", "8x", "a"}, Args{"a", "--key"}, Args{"--status"},
                             Args{"--recursive=yes", "a"}, Args{"--whole-streams=no", "a"}}) {
        const auto parsed = ParseCommandLine(args);
        EXPECT_FALSE(parsed.Options) << ::testing::PrintToString(args);
        EXPECT_FALSE(parsed.Error.empty());
    }
    EXPECT_EQ(ParseCommandLine(Args{"--blocks", "200000", "a"}).Options->Blocks, 200000);
    EXPECT_EQ(ParseCommandLine(Args{"--status", "a"}).Options->Action, TCliAction::Status);
    EXPECT_EQ(ParseCommandLine(Args{"--version"}).Options->Action, TCliAction::Version);
    EXPECT_EQ(ParseCommandLine(Args{"--version", "--help"}).Options->Action, TCliAction::Help);
}
