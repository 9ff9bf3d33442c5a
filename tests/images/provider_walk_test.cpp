#include "provider_test_support.h"

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
