#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "platform/directory_listing.h"
#include "support/temp_dir.h"
#include "provider_test_support.h"

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

// A link to a directory is a directory to the user (a Pictures folder may
// be a link to another drive); the walk tells loops by identity instead.
TEST(DirectoryListing, ReportsLinksToDirectoriesAsDirectoriesOfTheSameIdentity) {
    TempDir scratch;
    const auto root = linkLoopTree(scratch);
    if (!root) GTEST_SKIP() << "no link loop: run through CTest, which prepares one";
    const std::string pictures = joinPath(*root, "pictures");
    DirectoryListing listing;
    ASSERT_TRUE(listing.open(pictures));
    const auto seen = listAll(listing);
    ASSERT_EQ(seen.count("loop"), 1u);
    EXPECT_TRUE(seen.at("loop"));
    EXPECT_FALSE(seen.at("pic0"));

    const auto identityOf = [&listing](const std::string& path) {
        EXPECT_TRUE(listing.open(path)) << path;
        return listing.identity();
    };
    const auto ofRoot = identityOf(*root);
    ASSERT_TRUE(ofRoot.has_value());
    EXPECT_EQ(identityOf(joinPath(pictures, "loop")), ofRoot);
    EXPECT_NE(identityOf(pictures), ofRoot);
}

TEST(DirectoryListing, IdentityIsTheDirectoryWhateverThePath) {
    TempDir dir;
    fs::create_directory(dir.path() / "sub");
    DirectoryListing listing;
    EXPECT_FALSE(listing.identity().has_value()) << "nothing open";
    const auto identityOf = [&listing](const std::string& path) {
        EXPECT_TRUE(listing.open(path)) << path;
        return listing.identity();
    };
    const auto top = identityOf(dir.path().string());
    ASSERT_TRUE(top.has_value());
    EXPECT_EQ(identityOf(joinPath(joinPath(dir.file("sub"), ".."), "")), top);
    EXPECT_NE(identityOf(dir.file("sub")), top);
    listing.close();
    EXPECT_FALSE(listing.identity().has_value());
}

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

// Dot names are hidden natively; Wine, too, gives them the hidden
// attribute that the Windows listing reads.
TEST(DirectoryListing, TellsHiddenEntriesAndFindsAFileByName) {
    TempDir dir;
    writeFile(dir.file(".nomedia"), "");
    writeFile(dir.file("photo.jpg"), "x");
    fs::create_directory(dir.path() / ".cache");
    fs::create_directory(dir.path() / "Album");

    DirectoryListing listing;
    EXPECT_FALSE(listing.holdsFile(".nomedia")) << "nothing open";
    ASSERT_TRUE(listing.open(dir.path().string()));
    std::map<std::string, bool> hidden;
    DirectoryEntry entry;
    while (listing.next(entry))
        if (entry.name != "." && entry.name != "..") hidden[entry.name] = entry.isHidden;
    const std::map<std::string, bool> expected{
        {".nomedia", true}, {"photo.jpg", false}, {".cache", true}, {"Album", false}};
    EXPECT_EQ(hidden, expected);

    const struct {
        const char* name;
        bool held;
    } lookups[] = {{".nomedia", true}, {"photo.jpg", true}, {"Album", false}, {"absent", false}};
    for (const auto& lookup : lookups) EXPECT_EQ(listing.holdsFile(lookup.name), lookup.held) << lookup.name;
}
