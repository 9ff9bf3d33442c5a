#include "linux/settings_file.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

std::string entriesText(const std::vector<SettingEntry>& entries) {
    std::string text;
    for (const auto& entry : entries) text += entry.name + "|" + entry.value + ";";
    return text;
}

}  // namespace

TEST(SettingsFile, LinesAndWhatIsSkipped) {
    struct Case {
        const char* text;
        const char* entries;
    } cases[] = {
        {"seconds = 12\n", "seconds|12;"},
        {"  fade=2.5  \r\n", "fade|2.5;"},
        {"dir = /a b\ndir=/c\n", "dir|/a b;dir|/c;"},
        {"dir = /x=y\n", "dir|/x=y;"},
        {"# seconds = 3\n\n   \nseconds 4\n", ""},
        {"colour = red\nTexture = 512\ntexture = 512", "texture|512;"},
        {"seconds =\n", "seconds|;"},
        {"dir = ~/Pictures\ndir = /~/x\n", "dir|/home/u/Pictures;dir|/~/x;"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(entriesText(parseSettingsFile(c.text, "/home/u")), c.entries) << c.text;
    // Without a home a leading ~ stays as it is.
    EXPECT_EQ(entriesText(parseSettingsFile("dir = ~/P", nullptr)), "dir|~/P;");
}

TEST(SettingsFile, WhereItLives) {
    EXPECT_EQ(settingsFilePath("/cfg", "/home/u").value_or(""), "/cfg/glimmora/glimmora.conf");
    EXPECT_EQ(settingsFilePath(nullptr, "/home/u").value_or(""),
              "/home/u/.config/glimmora/glimmora.conf");
    EXPECT_EQ(settingsFilePath("relative", "/home/u").value_or(""),
              "/home/u/.config/glimmora/glimmora.conf");
    EXPECT_EQ(settingsFilePath("", "/home/u").value_or(""),
              "/home/u/.config/glimmora/glimmora.conf");
    EXPECT_FALSE(settingsFilePath(nullptr, nullptr));
    EXPECT_FALSE(settingsFilePath(nullptr, ""));
}

TEST(SettingsFile, ReadsAFileAndRefusesOnesTooLargeOrAbsent) {
    TempDir dir;
    const std::string path = (dir.path() / "glimmora.conf").string();
    EXPECT_TRUE(readSettingsFile(path, "/h").empty());
    {
        std::ofstream file(path, std::ios::binary);
        file << "seconds = 9\ndir = /p\n";
    }
    EXPECT_EQ(entriesText(readSettingsFile(path, "/h")), "seconds|9;dir|/p;");
    {
        std::ofstream file(path, std::ios::binary);
        file << "seconds = 9\n" << std::string((1 << 20) + 16, '#');
    }
    EXPECT_TRUE(readSettingsFile(path, "/h").empty());
    // A folder is no settings file.
    EXPECT_TRUE(readSettingsFile(dir.path().string(), "/h").empty());
}
