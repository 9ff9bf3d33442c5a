#include "linux/option_settings.h"

#include "platform/registry_key.h"
#include "settings/settings.h"
#include "support/settings_guard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class OptionSettings : public ::testing::Test {
protected:
    void SetUp() override { registry_testing::clearKey(Settings::registryKey); }
    void TearDown() override {
        registry_testing::clearKey(Settings::registryKey);
        theSettings.directories.clear();
    }
    SettingsGuard guard_;
};

}  // namespace

TEST_F(OptionSettings, ValuesAndTheirFallbacks) {
    struct Case {
        SettingEntry entry;
        float seconds, sigma, fade;
        int texDim;
    } cases[] = {
        {{"seconds", "12.5"}, 12.5f, 1.0f, 3.0f, 0},
        {{"seconds", " 8 "}, 8.0f, 1.0f, 3.0f, 0},
        {{"seconds", "2.5x"}, 2.5f, 1.0f, 3.0f, 0},  // as a registry text reads
        {{"seconds", "abc"}, 17.0f, 1.0f, 3.0f, 0},
        {{"seconds", "inf"}, 17.0f, 1.0f, 3.0f, 0},
        {{"seconds", ""}, 17.0f, 1.0f, 3.0f, 0},
        {{"seconds-sigma", "0"}, 17.0f, 0.0f, 3.0f, 0},
        {{"fade", "0.25"}, 17.0f, 1.0f, 0.25f, 0},
        {{"fade", "nan"}, 17.0f, 1.0f, 3.0f, 0},
        {{"texture", "2048"}, 17.0f, 1.0f, 3.0f, 1},
        {{"texture", "256"}, 17.0f, 1.0f, 3.0f, 4},
        {{"texture", "0"}, 17.0f, 1.0f, 3.0f, 0},
        {{"texture", "300"}, 17.0f, 1.0f, 3.0f, 0},
        {{"texture", "2"}, 17.0f, 1.0f, 3.0f, 0},
        {{"texture", "512px"}, 17.0f, 1.0f, 3.0f, 0},
        {{"texture", "-256"}, 17.0f, 1.0f, 3.0f, 0},
        // The program's ranges, which the settings dialog's sliders span:
        // beyond them the nearer end.
        {{"seconds", "300"}, 300.0f, 1.0f, 3.0f, 0},
        {{"seconds", "301"}, 300.0f, 1.0f, 3.0f, 0},
        {{"seconds", "1e30"}, 300.0f, 1.0f, 3.0f, 0},
        {{"seconds", "0.5"}, 1.0f, 1.0f, 3.0f, 0},
        {{"seconds", "-4"}, 1.0f, 1.0f, 3.0f, 0},
        {{"seconds-sigma", "60"}, 17.0f, 60.0f, 3.0f, 0},
        {{"seconds-sigma", "61"}, 17.0f, 60.0f, 3.0f, 0},
        {{"seconds-sigma", "-1"}, 17.0f, 0.0f, 3.0f, 0},
        {{"fade", "30"}, 17.0f, 1.0f, 30.0f, 0},
        {{"fade", "30.5"}, 17.0f, 1.0f, 30.0f, 0},
        {{"fade", "-0.1"}, 17.0f, 1.0f, 0.0f, 0},
        {{"fade", "1e999"}, 17.0f, 1.0f, 3.0f, 0},
    };
    for (const auto& c : cases) {
        applySettingEntries({}, {c.entry});
        const std::string what = c.entry.name + "=" + c.entry.value;
        EXPECT_FLOAT_EQ(theSettings.secondsPerImage.load(), c.seconds) << what;
        EXPECT_FLOAT_EQ(theSettings.secondsPerImageSigma, c.sigma) << what;
        EXPECT_FLOAT_EQ(theSettings.fadeMean, c.fade) << what;
        EXPECT_EQ(theSettings.texDim, c.texDim) << what;
        EXPECT_TRUE(theSettings.directories.empty()) << what;
    }
}

TEST_F(OptionSettings, CommandLineOverridesTheFile) {
    const std::vector<SettingEntry> file = {
        {"dir", "/file/a"}, {"seconds", "30"}, {"fade", "1"}, {"dir", "/file/b"}, {"texture", "512"}};
    applySettingEntries(file, {});
    EXPECT_EQ(theSettings.directories, (std::vector<std::string>{"/file/a", "/file/b"}));
    EXPECT_FLOAT_EQ(theSettings.secondsPerImage.load(), 30.0f);
    EXPECT_EQ(theSettings.texDim, 3);

    // Folders on the command line replace the file's; other values win
    // one by one, the last of each name counting.
    applySettingEntries(file, {{"dir", "/cli"}, {"seconds", "5"}, {"seconds", "6"},
                               {"texture", "bad"}});
    EXPECT_EQ(theSettings.directories, (std::vector<std::string>{"/cli"}));
    EXPECT_FLOAT_EQ(theSettings.secondsPerImage.load(), 6.0f);
    EXPECT_FLOAT_EQ(theSettings.fadeMean, 1.0f);
    EXPECT_EQ(theSettings.texDim, 0);

    // Nothing left over from the call before.
    applySettingEntries({}, {});
    EXPECT_TRUE(theSettings.directories.empty());
    EXPECT_FLOAT_EQ(theSettings.secondsPerImage.load(), 17.0f);
    EXPECT_FLOAT_EQ(theSettings.fadeMean, 3.0f);
}

TEST_F(OptionSettings, EmptyFoldersAreNoFolders) {
    applySettingEntries({{"dir", ""}}, {});
    EXPECT_TRUE(theSettings.directories.empty());
    applySettingEntries({{"dir", "/f"}}, {{"dir", ""}});
    EXPECT_TRUE(theSettings.directories.empty());
}

TEST_F(OptionSettings, DescribedInTheFilesForm) {
    applySettingEntries({}, {{"dir", "/p q"}, {"seconds", "12"}, {"fade", "0.5"},
                             {"texture", "1024"}});
    EXPECT_EQ(describeSettings(),
              "dir = /p q\nseconds = 12\nseconds-sigma = 1\nfade = 0.5\ntexture = 1024\n"
              "pairs = yes\n");
}

TEST_F(OptionSettings, PairsSwitchInTheFileAndOnTheCommandLine) {
    struct Case {
        std::vector<SettingEntry> file;
        std::vector<SettingEntry> commandLine;
        bool pairs;
    } cases[] = {
        {{}, {}, true},
        {{{"pairs", "no"}}, {}, false},
        {{{"pairs", "off"}}, {}, false},
        {{{"pairs", "false"}}, {}, false},
        {{{"pairs", "0"}}, {}, false},
        {{{"pairs", "no"}}, {{"pairs", "yes"}}, true},
        {{{"pairs", "on"}}, {{"pairs", "no"}}, false},
        // A word that is neither leaves the default, whatever came before.
        {{{"pairs", "no"}}, {{"pairs", "maybe"}}, true},
    };
    for (const auto& c : cases) {
        applySettingEntries(c.file, c.commandLine);
        EXPECT_EQ(theSettings.pairs, c.pairs) << ::testing::PrintToString(c.file.size()) << " "
                                              << ::testing::PrintToString(c.commandLine.size());
        EXPECT_NE(describeSettings().find(c.pairs ? "pairs = yes\n" : "pairs = no\n"),
                  std::string::npos);
    }
    applySettingEntries({}, {});
}
