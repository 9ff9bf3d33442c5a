#include "linux/launch_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

LaunchOptions parse(std::vector<std::string> arguments, const char* saverWindow = nullptr) {
    return parseLaunchOptions(arguments, saverWindow);
}

}  // namespace

TEST(LaunchOptions, WindowIdsInDecimalAndHex) {
    struct Case {
        const char* text;
        unsigned long id;  // 0: refused
    } cases[] = {
        {"4194311", 4194311}, {"0x400007", 0x400007}, {"0X1F", 0x1f}, {"0xffffffff", 0xffffffff},
        {"0", 0},             {"0x", 0},              {"", 0},        {"12abc", 0},
        {"-5", 0},            {"0x100000000", 0},     {" 12", 0},     {"99999999999999999999", 0},
    };
    for (const auto& c : cases) {
        const auto id = parseWindowId(c.text);
        if (c.id == 0) EXPECT_FALSE(id) << c.text;
        else EXPECT_EQ(id.value_or(0), c.id) << c.text;
    }
}

TEST(LaunchOptions, WhereItDraws) {
    struct Case {
        std::vector<std::string> arguments;
        const char* saverWindow;
        DrawTarget target;
        unsigned long windowId;
    } cases[] = {
        {{}, nullptr, DrawTarget::OwnWindow, 0},
        {{"-window"}, nullptr, DrawTarget::OwnWindow, 0},
        {{"-root"}, nullptr, DrawTarget::Root, 0},
        {{"--root"}, nullptr, DrawTarget::Root, 0},
        {{"-window-id", "0x2a"}, nullptr, DrawTarget::GivenWindow, 42},
        {{"--window-id=42"}, nullptr, DrawTarget::GivenWindow, 42},
        // XScreenSaver passes -root and names its own window in the environment.
        {{"-root"}, "0x600001", DrawTarget::GivenWindow, 0x600001},
        {{}, "6291457", DrawTarget::GivenWindow, 6291457},
        {{"-window"}, "0x600001", DrawTarget::OwnWindow, 0},
        {{"-window-id", "7"}, "0x600001", DrawTarget::GivenWindow, 7},
        // An environment value that is no id is no saver window.
        {{"-root"}, "junk", DrawTarget::Root, 0},
        {{"-root"}, "", DrawTarget::Root, 0},
    };
    for (const auto& c : cases) {
        const LaunchOptions options = parse(c.arguments, c.saverWindow);
        const std::string what = ::testing::PrintToString(c.arguments);
        EXPECT_FALSE(options.error) << what;
        EXPECT_EQ(options.target, c.target) << what;
        EXPECT_EQ(options.windowId, c.windowId) << what;
    }
}

TEST(LaunchOptions, SettingsInEverySpelling) {
    const LaunchOptions options =
        parse({"--dir", "/a", "-dir", "/b c", "--dir=/d=e", "--seconds", "12", "-seconds-sigma",
               "0.5", "--fade=abc", "-texture", "512", "-root"});
    ASSERT_FALSE(options.error);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"dir", "/a"},  {"dir", "/b c"},        {"dir", "/d=e"},  {"seconds", "12"},
        {"seconds-sigma", "0.5"}, {"fade", "abc"}, {"texture", "512"}};
    ASSERT_EQ(options.settings.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(options.settings[i].name, expected[i].first);
        EXPECT_EQ(options.settings[i].value, expected[i].second);
    }
    EXPECT_EQ(options.target, DrawTarget::Root);
}

TEST(LaunchOptions, CommandLinesThatCannotBeUsed) {
    const std::vector<std::vector<std::string>> cases = {
        {"--seconds"},          {"-window-id"},        {"-window-id", "zero"},
        {"-window-id", "0"},    {"--bogus"},           {"pictures"},
        {"-"},                  {"--"},                {"-root=1"},
        {"--help=yes"},         {"-dir"},              {"-display"},
        {"-geometry"},          {"-geometry", "big"},  {"-geometry", "0x10"},
        {"-visual"},            {"-fps=1"},            {"-install=yes"},
    };
    for (const auto& arguments : cases) {
        const LaunchOptions options = parse(arguments);
        EXPECT_TRUE(options.error) << ::testing::PrintToString(arguments);
    }
}

TEST(LaunchOptions, HelpAndShowSettings) {
    EXPECT_TRUE(parse({"--help"}).showHelp);
    EXPECT_TRUE(parse({"-h"}).showHelp);
    EXPECT_TRUE(parse({"--show-settings", "--seconds", "3"}).showSettings);
    EXPECT_FALSE(parse({"-root"}).showHelp);
}

TEST(LaunchOptions, WhatEveryXScreenSaverHackTakes) {
    const LaunchOptions plain = parse({"-root"});
    EXPECT_FALSE(plain.displayName);
    EXPECT_FALSE(plain.geometry);
    EXPECT_FALSE(plain.showFrameRate);

    const LaunchOptions options = parse({"-display", ":3.0", "-visual", "best", "-install", "-fps",
                                         "-window", "-geometry", "640x480+10-20"});
    ASSERT_FALSE(options.error) << *options.error;
    EXPECT_EQ(options.displayName.value_or(""), ":3.0");
    EXPECT_TRUE(options.showFrameRate);
    ASSERT_TRUE(options.geometry);
    EXPECT_EQ(options.geometry->width.value_or(0), 640u);
    EXPECT_EQ(options.geometry->y.value_or(0), 20);
    EXPECT_TRUE(options.geometry->yFromBottom);
    // -visual takes its value with it: nothing of it reaches the settings.
    EXPECT_TRUE(options.settings.empty());
    EXPECT_EQ(options.target, DrawTarget::OwnWindow);

    EXPECT_FALSE(parse({"-fps", "-no-fps"}).showFrameRate);
    EXPECT_EQ(parse({"--display=host:1"}).displayName.value_or(""), "host:1");
}

TEST(LaunchOptions, PairsSwitches) {
    struct Case {
        std::vector<std::string> arguments;
        std::vector<std::string> values;  // of the "pairs" entries, in order
    } cases[] = {
        {{"--pairs"}, {"yes"}},
        {{"-no-pairs"}, {"no"}},
        {{"--no-pairs", "--pairs"}, {"no", "yes"}},
        {{"--pairs=no"}, {"no"}},
        // The switch takes no value from the next argument.
        {{"--pairs", "-root"}, {"yes"}},
    };
    for (const auto& c : cases) {
        const LaunchOptions options = parse(c.arguments);
        const std::string what = ::testing::PrintToString(c.arguments);
        ASSERT_FALSE(options.error) << what;
        std::vector<std::string> values;
        for (const auto& entry : options.settings)
            if (entry.name == "pairs") values.push_back(entry.value);
        EXPECT_EQ(values, c.values) << what;
    }
    EXPECT_TRUE(parse({"--no-pairs=yes"}).error);
}
