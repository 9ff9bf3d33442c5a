#include "provider_test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

// Where the provider's walk should put the files below `dir`: its own files
// in listing order, then each subdirectory's subtree, the subdirectory
// listed last first.
void expectedWalk(const std::string& dir, std::vector<std::string>& out) {
    std::vector<std::string> subdirs;
    for (const auto& entry : listingOf(dir)) {
        if (entry.isDirectory) {
            subdirs.push_back(joinPath(dir, entry.name));
        } else {
            out.push_back(joinPath(dir, entry.name));
        }
    }
    for (auto it = subdirs.rbegin(); it != subdirs.rend(); ++it) expectedWalk(*it, out);
}

}  // namespace

TEST_F(ProviderTest, WalksLastDirectoryFirstAndSubdirectoriesDepthFirstInReverse) {
    TempDir tree;
    const std::string first = makeDir(tree.file("first"));
    const std::string second = makeDir(tree.file("second"));
    makeFiles(first, 2, "f");
    makeFiles(second, 3, "s");
    writeFile(joinPath(second, ".hidden"), "");
    writeFile(joinPath(second, "notes.txt"), "not a picture");
    for (const char* sub : {"alpha", "beta", "gamma"}) {
        const std::string subdir = makeDir(joinPath(second, sub));
        makeFiles(subdir, 2, sub);
        makeFiles(makeDir(joinPath(subdir, "deeper")), 1, std::string(sub) + "_deep");
    }
    makeDir(joinPath(second, "empty"));

    std::vector<std::string> expected;
    expectedWalk(second, expected);
    expectedWalk(first, expected);
    ASSERT_EQ(expected.size(), 2u + 5u + 3u * 3u);

    theSettings.scandirChunkSize = 1000;
    keepWalkOrder();
    FakeDecoder decoder;
    ProbedProvider provider({first, second}, decoder.function());
    const auto state = provider.snapshot();
    EXPECT_EQ(state.files, expected);
    EXPECT_TRUE(state.pendingDirs.empty());
    EXPECT_FALSE(state.listingOpen);
    EXPECT_EQ(state.cursor, 0u);
    EXPECT_EQ(decoder.total(), 0) << "construction must not decode";
}

TEST_F(ProviderTest, ADirectoryOfOnlySubdirectoriesServesTheirFiles) {
    TempDir tree;
    // One subdirectory per level besides the two side by side, so the
    // order does not depend on the listing.
    const std::string a = makeDir(tree.file("a"));
    const std::string b = makeDir(tree.file("b"));
    const std::string bInner = makeDir(joinPath(b, "inner"));
    makeFiles(a, 1, "in_a");
    makeFiles(bInner, 1, "in_b_inner");

    theSettings.scandirChunkSize = 1;
    keepWalkOrder();
    FakeDecoder decoder;
    ProbedProvider provider({tree.path().string()}, decoder.function());
    const auto first = provider.snapshot().files;
    ASSERT_EQ(first.size(), 1u);
    // The subdirectory listed last is walked first.
    const auto top = listingOf(tree.path().string());
    ASSERT_EQ(top.size(), 2u);
    const std::string walkedFirst = joinPath(tree.path().string(), top[1].name);
    EXPECT_EQ(first[0].rfind(walkedFirst, 0), 0u) << first[0];

    const auto served = serve(provider, decoder, 3);
    EXPECT_EQ(asSet(served),
              (std::set<std::string>{joinPath(a, "in_a0"), joinPath(bInner, "in_b_inner0")}));
}

TEST_F(ProviderTest, SkipsDirectoriesThatCannotBeOpened) {
    TempDir tree;
    const std::string real = makeDir(tree.file("real"));
    makeFiles(real, 2);
    writeFile(tree.file("plain file"), "");
    theSettings.scandirChunkSize = 666;
    FakeDecoder decoder;
    ProbedProvider provider({real, tree.file("missing"), tree.file("plain file"), ""},
                            decoder.function());
    EXPECT_EQ(asSet(provider.snapshot().files), asSet(filesInListingOrder(real)));
    EXPECT_EQ(asSet(serve(provider, decoder, 2)), asSet(filesInListingOrder(real)));
}

TEST_F(ProviderTest, WithNothingToShowEveryCallIsACheckerboard) {
    TempDir tree;
    makeDir(tree.file("empty/emptier"));
    FakeDecoder decoder;
    for (const auto& dirs : {std::vector<std::string>{},
                             std::vector<std::string>{tree.file("empty")},
                             std::vector<std::string>{tree.file("missing")}}) {
        ProbedProvider provider(dirs, decoder.function());
        for (int i = 0; i < 3; ++i) EXPECT_TRUE(isCheckerboard(provider.nextImage()));
    }
    EXPECT_EQ(decoder.total(), 0);
}

TEST_F(ProviderTest, FormsPathsLongerThanTheWindowsLimitWhole) {
    TempDir tree;
    std::string dir = tree.path().string();
    for (char c : {'x', 'y', 'z'}) dir = joinPath(dir, std::string(100, c));
    const std::string file = joinPath(dir, "picture.jpg");
    ASSERT_GT(file.size(), 300u);
    std::error_code error;
    fs::create_directories(dir, error);
    if (error) GTEST_SKIP() << "the system refuses long paths";
    writeFile(file, "");

    FakeDecoder decoder;
    ProbedProvider provider({tree.path().string()}, decoder.function());
    const auto files = provider.snapshot().files;
#ifdef _WIN32
    // Windows may refuse the long path; then it is skipped, never cut short.
    for (const auto& listed : files) EXPECT_EQ(listed, file);
#else
    EXPECT_EQ(files, std::vector<std::string>{file});
    EXPECT_FALSE(isCheckerboard(provider.nextImage()));
    EXPECT_EQ(decoder.calls(file), 1);
#endif
}

TEST_F(ProviderTest, ALinkLoopIsWalkedOnce) {
    TempDir scratch;
    const auto root = linkLoopTree(scratch);
    if (!root) GTEST_SKIP() << "no link loop: run through CTest, which prepares one";
    const std::string pictures = joinPath(*root, "pictures");
    theSettings.scandirChunkSize = 1000;
    FakeDecoder decoder;
    ProbedProvider provider({*root}, decoder.function());
    const auto state = provider.snapshot();
    EXPECT_TRUE(state.pendingDirs.empty());
    EXPECT_FALSE(state.listingOpen);
    // The link leads back to the root, already walked: its one file is
    // listed once, not once per trip round the loop.
    EXPECT_EQ(state.files, std::vector<std::string>{joinPath(pictures, "pic0")});
    EXPECT_EQ(serve(provider, decoder, 3).size(), 3u);
}

TEST_F(ProviderTest, ALinkToAFolderElsewhereIsFollowed) {
    TempDir library, elsewhere;
    const auto photos = makeFiles(makeDir(elsewhere.file("photos")), 2);
    std::error_code error;
    std::filesystem::create_directory_symlink(elsewhere.file("photos"), library.file("Pictures"),
                                              error);
    if (error || !std::filesystem::is_directory(library.file("Pictures")))
        GTEST_SKIP() << "the system makes no links";
    FakeDecoder decoder;
    ProbedProvider provider({library.path().string()}, decoder.function());
    const std::string shown = library.file("Pictures");
    EXPECT_EQ(asSet(provider.snapshot().files),
              (std::set<std::string>{joinPath(shown, "pic0"), joinPath(shown, "pic1")}));
}

// Folders that hold no photos are left out below the configured ones, with
// everything under them. (Under Wine a name that starts with a dot is a
// hidden file too, as Windows programs see it.)
TEST_F(ProviderTest, FoldersThatHoldNoPhotosAreLeftOutWithAllBelowThem) {
    struct Case {
        const char* what;
        std::string folder;      // made below the configured one, holding pictures and a subfolder
        std::string markerFile;  // a file made in it, or empty
    };
    const Case cases[] = {
        {"hidden folder", ".thumbnails", ""},
        {"Synology thumbnails", "@eaDir", ""},
        {"another drive's Recycle Bin, unmarked", "$RECYCLE.BIN", ""},
        {"the same as Windows 7 and later write it", "$Recycle.Bin", ""},
        {"Synology's recycle bin", "#recycle", ""},
        {"marked with .nomedia", "Album art", ".nomedia"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir tree;
        const std::string root = makeDir(tree.file("Pictures"));
        const std::string holiday = makeDir(joinPath(root, "Holiday"));
        std::vector<std::string> kept = makeFiles(root, 2, "top");
        for (const auto& path : makeFiles(holiday, 3, "beach")) kept.push_back(path);
        const std::string skipped = makeDir(joinPath(holiday, c.folder));
        makeFiles(skipped, 4, "thumb");
        makeFiles(makeDir(joinPath(skipped, "deeper")), 2, "thumb_deep");
        if (!c.markerFile.empty()) writeFile(joinPath(skipped, c.markerFile), "");

        theSettings.scandirChunkSize = 3;  // the walk goes on in several chunks
        FakeDecoder decoder;
        ProbedProvider provider({root}, decoder.function());
        for (int i = 0; i < 20; ++i) {
            const auto state = provider.snapshot();
            if (state.pendingDirs.empty() && !state.listingOpen) break;
            provider.nextImage();
        }
        EXPECT_EQ(asSet(provider.snapshot().files), asSet(kept));
    }
}

#ifdef _WIN32
// Windows marks the Recycle Bin and "System Volume Information" by their
// attributes, whatever their names.
TEST_F(ProviderTest, FoldersMarkedHiddenOrSystemAreLeftOut) {
    for (DWORD attribute : {DWORD{FILE_ATTRIBUTE_HIDDEN}, DWORD{FILE_ATTRIBUTE_SYSTEM}}) {
        SCOPED_TRACE(attribute);
        TempDir tree;
        const std::string root = makeDir(tree.file("Drive"));
        const std::vector<std::string> kept = makeFiles(root, 2, "photo");
        const std::string marked = makeDir(joinPath(root, "RECYCLER"));
        makeFiles(marked, 3, "deleted");
        if (!SetFileAttributesA(marked.c_str(), attribute) ||
            (GetFileAttributesA(marked.c_str()) & attribute) == 0)
            GTEST_SKIP() << "the file system keeps no such attribute";
        theSettings.scandirChunkSize = 1000;
        FakeDecoder decoder;
        ProbedProvider provider({root}, decoder.function());
        EXPECT_EQ(asSet(provider.snapshot().files), asSet(kept));
        SetFileAttributesA(marked.c_str(), FILE_ATTRIBUTE_DIRECTORY);
    }
}
#endif

// The user chose these folders: their own names and marks do not count.
TEST_F(ProviderTest, ConfiguredFoldersAreWalkedWhateverTheyAreCalledOrHold) {
    TempDir tree;
    const std::string hidden = makeDir(tree.file(".pictures"));
    const std::string synology = makeDir(tree.file("@eaDir"));
    const std::string marked = makeDir(tree.file("marked"));
    writeFile(joinPath(marked, ".nomedia"), "");
    std::set<std::string> expected = {joinPath(marked, ".nomedia")};
    for (const std::string& dir : {hidden, synology, marked})
        for (const auto& path : makeFiles(dir, 2, "pic")) expected.insert(path);

    theSettings.scandirChunkSize = 1000;
    FakeDecoder decoder;
    ProbedProvider provider({hidden, synology, marked}, decoder.function());
    EXPECT_EQ(asSet(provider.snapshot().files), expected);
}

// Only the marked folder goes: its parent's and its siblings' pictures stay.
TEST_F(ProviderTest, ANomediaMarkReachesOnlyItsOwnFolder) {
    TempDir tree;
    const std::string root = makeDir(tree.file("Pictures"));
    const std::string parent = makeDir(joinPath(root, "Trip"));
    const std::string marked = makeDir(joinPath(parent, "cache"));
    const std::string sibling = makeDir(joinPath(parent, "day2"));
    writeFile(joinPath(marked, ".nomedia"), "");
    makeFiles(marked, 3, "cached");
    std::vector<std::string> kept = makeFiles(parent, 2, "day1_");
    for (const auto& path : makeFiles(sibling, 2, "day2_")) kept.push_back(path);

    theSettings.scandirChunkSize = 1000;
    FakeDecoder decoder;
    ProbedProvider provider({root}, decoder.function());
    EXPECT_EQ(asSet(provider.snapshot().files), asSet(kept));
}

TEST_F(ProviderTest, FirstChunkListedByTheFirstPictureWhenAskedTo) {
    TempDir tree;
    const std::string folder = makeDir(tree.file("pictures"));
    makeFiles(folder, 3, "p");
    theSettings.scandirChunkSize = 1000;
    FakeDecoder decoder;
    ProbedProvider provider({folder}, decoder.function(),
                            RandomImageProvider::FirstChunk::OnFirstPicture);
    // Nothing is touched at construction: the folder is still pending.
    auto state = provider.snapshot();
    EXPECT_TRUE(state.files.empty());
    EXPECT_EQ(state.pendingDirs, std::vector<std::string>{folder});
    // The first picture lists the chunk on the asking thread and serves it.
    ASSERT_NE(provider.nextImage(), nullptr);
    state = provider.snapshot();
    EXPECT_EQ(state.files.size(), 3u);
    EXPECT_EQ(state.cursor, 1u);
    EXPECT_EQ(decoder.total(), 1);
    for (int n = 0; n < 5; ++n) ASSERT_NE(provider.nextImage(), nullptr);
    EXPECT_EQ(provider.snapshot().files.size(), 3u) << "listed once";
}
