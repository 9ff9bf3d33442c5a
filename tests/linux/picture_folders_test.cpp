#include "linux/picture_folders.h"
#include "linux/setting_sources.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string entriesText(const std::vector<SettingEntry>& entries) {
    std::string text;
    for (const auto& entry : entries) text += entry.name + "|" + entry.value + ";";
    return text;
}

}  // namespace

TEST(PictureFolders, LeadingTildeIsTheHome) {
    struct Case {
        const char* path;
        const char* home;
        const char* expanded;
    } cases[] = {
        {"~", "/home/u", "/home/u"},
        {"~/", "/home/u", "/home/u/"},
        {"~/Pictures", "/home/u", "/home/u/Pictures"},
        {"~user/Pictures", "/home/u", "~user/Pictures"},
        {"/srv/~/x", "/home/u", "/srv/~/x"},
        {"~/P", nullptr, "~/P"},
        {"~/P", "", "~/P"},
        {"", "/home/u", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(expandHome(c.path, c.home), c.expanded) << c.path;
}

TEST(PictureFolders, FolderListsAreSplitAtColons) {
    struct Case {
        std::vector<SettingEntry> entries;
        const char* expanded;
    } cases[] = {
        {{{"dir", "/a"}}, "dir|/a;"},
        {{{"dir", "~/a:/b"}}, "dir|/h/a;dir|/b;"},
        {{{"dir", ":/a::~:"}}, "dir|/a;dir|/h;"},
        {{{"dir", ""}}, ""},
        {{{"dir", "/a b:/c"}, {"seconds", "~/x:y"}, {"dir", "/d"}},
         "dir|/a b;dir|/c;seconds|~/x:y;dir|/d;"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(entriesText(expandFolderEntries(c.entries, "/h")), c.expanded) << entriesText(c.entries);
}

TEST(PictureFolders, XScreenSaverImageDirectory) {
    struct Case {
        const char* text;
        const char* folder;  // "" for none
    } cases[] = {
        {"timeout:\t0:10:00\nimageDirectory:\t/srv/photos\nmode:\t\trandom\n", "/srv/photos"},
        {"imageDirectory:\t~/Pictures/Holiday 2024  \r\n", "/h/Pictures/Holiday 2024"},
        {"imageDirectory:\t/a\nimageDirectory:\t/b\n", "/b"},
        {"imageDirectory:\t\n", ""},
        {"imageDirectory:\thttps://example.invalid/feed.rss\n", ""},
        {"# imageDirectory:\t/x\n  imageDirectory: /y\n", ""},
        {"imageDirectoryX:\t/x\n", ""},
        {"textFile:\t/etc/motd\n", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(xscreensaverImageDirectory(c.text, "/h").value_or(""), c.folder) << c.text;
}

TEST(PictureFolders, FallbackIsImageDirectoryThenPictures) {
    TempDir home;
    const std::string h = home.path().string();
    EXPECT_EQ(fallbackPictureFolder(h.c_str()).value_or(""), h + "/Pictures");
    writeFile(home.file(".xscreensaver"), "imageDirectory:\thttp://feed.invalid/\n");
    EXPECT_EQ(fallbackPictureFolder(h.c_str()).value_or(""), h + "/Pictures");
    writeFile(home.file(".xscreensaver"), "mode:\tone\nimageDirectory:\t~/Shots\n");
    EXPECT_EQ(fallbackPictureFolder(h.c_str()).value_or(""), h + "/Shots");
    EXPECT_FALSE(fallbackPictureFolder(nullptr));
    EXPECT_FALSE(fallbackPictureFolder(""));
}

TEST(SettingSources, TheFileCountsOnlyOutsideADaemon) {
    TempDir home;
    const std::string h = home.path().string();
    std::filesystem::create_directories(home.path() / ".config" / "glimmora");
    writeFile(home.file(".config/glimmora/glimmora.conf"), "seconds = 12\ndir = ~/FromFile\n");
    writeFile(home.file(".xscreensaver"), "imageDirectory:\t~/Shots\n");
    const std::vector<SettingEntry> commandLine = {{"fade", "2"}};

    LaunchEnvironment byHand;
    byHand.home = h.c_str();
    SettingSources sources = gatherSettingSources(commandLine, byHand);
    EXPECT_EQ(entriesText(sources.fromFile), "seconds|12;dir|" + h + "/FromFile;");
    EXPECT_EQ(entriesText(sources.fromCommandLine), "fade|2;");

    // Under XScreenSaver only its command line: the file's folder does not
    // count either, so XScreenSaver's own picture setting is used.
    LaunchEnvironment underDaemon = byHand;
    underDaemon.saverWindow = "0x600001";
    sources = gatherSettingSources(commandLine, underDaemon);
    EXPECT_TRUE(sources.fromFile.empty());
    EXPECT_EQ(entriesText(sources.fromCommandLine), "fade|2;dir|" + h + "/Shots;");

    // A folder on the command line needs no fallback; its ~ is expanded.
    sources = gatherSettingSources({{"dir", "~/a:~/b"}}, underDaemon);
    EXPECT_EQ(entriesText(sources.fromCommandLine), "dir|" + h + "/a;dir|" + h + "/b;");

    // An empty XSCREENSAVER_WINDOW is no daemon.
    underDaemon.saverWindow = "";
    EXPECT_EQ(gatherSettingSources(commandLine, underDaemon).fromFile.size(), 2u);
}

TEST(SettingSources, WithoutAnyFolderTheFallbackIsAdded) {
    TempDir home;
    const std::string h = home.path().string();
    LaunchEnvironment environment;
    environment.home = h.c_str();
    EXPECT_EQ(entriesText(gatherSettingSources({}, environment).fromCommandLine),
              "dir|" + h + "/Pictures;");
    // XDG_CONFIG_HOME moves the settings file; its folder then counts.
    TempDir config;
    std::filesystem::create_directories(config.path() / "glimmora");
    writeFile(config.file("glimmora/glimmora.conf"), "dir = /srv\n");
    const std::string c = config.path().string();
    environment.configHome = c.c_str();
    const SettingSources sources = gatherSettingSources({}, environment);
    EXPECT_EQ(entriesText(sources.fromFile), "dir|/srv;");
    EXPECT_TRUE(sources.fromCommandLine.empty());
    // No home at all: nothing to fall back on.
    EXPECT_TRUE(gatherSettingSources({}, LaunchEnvironment{}).fromCommandLine.empty());
}
