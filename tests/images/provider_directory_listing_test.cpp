#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "platform/directory_listing.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::map<std::string, bool> listAll(DirectoryListing& listing) {
    std::map<std::string, bool> seen;
    DirectoryEntry entry;
    while (listing.next(entry)) {
        EXPECT_TRUE(seen.emplace(entry.name, entry.isDirectory).second) << entry.name;
    }
    return seen;
}

}  // namespace

// "." is normally the entry that opens a listing; losing it would mean
// losing the first file of a drive's root directory.
TEST(DirectoryListing, YieldsEveryEntryOnceFromTheOpeningOne) {
    TempDir dir;
    writeFile(dir.file("a.jpg"), "x");
    writeFile(dir.file("no extension"), "");
    fs::create_directory(dir.path() / "sub");

    DirectoryListing listing;
    ASSERT_TRUE(listing.open(dir.path().string()));
    EXPECT_TRUE(listing.isOpen());
    const std::map<std::string, bool> expected{
        {".", true}, {"..", true}, {"a.jpg", false}, {"no extension", false}, {"sub", true}};
    EXPECT_EQ(listAll(listing), expected);

    DirectoryEntry entry;
    EXPECT_FALSE(listing.next(entry));
}

TEST(DirectoryListing, RefusesWhatIsNoDirectory) {
    TempDir dir;
    writeFile(dir.file("file"), "x");
    DirectoryListing listing;
    DirectoryEntry entry;
    for (const std::string& path : {dir.file("missing"), dir.file("file"), std::string()}) {
        EXPECT_FALSE(listing.open(path)) << path;
        EXPECT_FALSE(listing.isOpen());
        EXPECT_FALSE(listing.next(entry));
    }
}

TEST(DirectoryListing, OpeningAgainReplacesTheListingAndCloseEndsIt) {
    TempDir first, second;
    writeFile(first.file("one"), "");
    writeFile(second.file("two"), "");
    DirectoryListing listing;
    ASSERT_TRUE(listing.open(first.path().string()));
    DirectoryEntry entry;
    ASSERT_TRUE(listing.next(entry));

    ASSERT_TRUE(listing.open(second.path().string()));
    const auto seen = listAll(listing);
    EXPECT_EQ(seen.count("two"), 1u);
    EXPECT_EQ(seen.count("one"), 0u);

    ASSERT_TRUE(listing.open(first.path().string()));
    listing.close();
    EXPECT_FALSE(listing.isOpen());
    EXPECT_FALSE(listing.next(entry));
    // A failed open leaves nothing open either.
    ASSERT_TRUE(listing.open(first.path().string()));
    EXPECT_FALSE(listing.open(first.file("missing")));
    EXPECT_FALSE(listing.next(entry));
}

#ifndef _WIN32
// A link back up the tree must not look like a directory, or a walk that
// keeps no record of visited directories would never end.
TEST(DirectoryListing, ReportsLinksToDirectoriesAsLinks) {
    TempDir dir;
    fs::create_directory(dir.path() / "real");
    fs::create_directory_symlink(dir.path(), dir.path() / "real" / "loop");
    DirectoryListing listing;
    ASSERT_TRUE(listing.open((dir.path() / "real").string()));
    const auto seen = listAll(listing);
    ASSERT_EQ(seen.count("loop"), 1u);
    EXPECT_FALSE(seen.at("loop"));
}
#endif

TEST(JoinPath, AddsOneSeparatorAndNeverTruncates) {
#ifdef _WIN32
    EXPECT_EQ(joinPath("C:\\Pictures", "a.jpg"), "C:\\Pictures\\a.jpg");
    EXPECT_EQ(joinPath("C:\\", "a.jpg"), "C:\\a.jpg");
    EXPECT_EQ(joinPath("C:/Pictures/", "a.jpg"), "C:/Pictures/a.jpg");
    const char separator = '\\';
#else
    EXPECT_EQ(joinPath("/pictures", "a.jpg"), "/pictures/a.jpg");
    EXPECT_EQ(joinPath("/", "a.jpg"), "/a.jpg");
    const char separator = '/';
#endif
    const std::string longDir(300, 'd');
    const std::string longName(200, 'n');
    EXPECT_EQ(joinPath(longDir, longName), longDir + separator + longName);
}
