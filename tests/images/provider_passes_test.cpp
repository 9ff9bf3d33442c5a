#include "provider_test_support.h"

namespace {

std::vector<std::string> firstN(const std::vector<std::string>& v, std::size_t n) {
    return {v.begin(), v.begin() + static_cast<std::ptrdiff_t>(std::min(n, v.size()))};
}

}  // namespace

TEST_F(ProviderTest, EachPictureListsAChunkIntoTheCurrentPass) {
    TempDir dir;
    makeFiles(dir.path().string(), 10);
    const auto order = filesInListingOrder(dir.path().string());
    theSettings.scandirChunkSize = 3;
    FakeDecoder decoder;
    ProbedProvider provider({dir.path().string()}, decoder.function());

    // Construction lists one chunk and keeps its place in the listing.
    const auto initial = provider.snapshot();
    EXPECT_EQ(asSet(initial.files), asSet(firstN(order, 3)));
    EXPECT_TRUE(initial.listingOpen);

    // The first picture lists nothing more; each later one a chunk, until
    // the walk is over: 3, 3, 6, 9, 10 files listed.
    for (std::size_t listed : {3u, 6u, 9u, 10u, 10u}) {
        serve(provider, decoder, 1);
        EXPECT_EQ(asSet(provider.snapshot().files), asSet(firstN(order, listed)));
    }
    const auto finished = provider.snapshot();
    EXPECT_FALSE(finished.listingOpen);
    EXPECT_TRUE(finished.pendingDirs.empty());

    // Files listed during the first pass still came up in it, once each.
    auto firstPass = decoder.decoded();
    const auto rest = serve(provider, decoder, 5);
    firstPass.insert(firstPass.end(), rest.begin(), rest.end());
    EXPECT_EQ(asSet(firstPass), asSet(order));
    EXPECT_EQ(asSet(serve(provider, decoder, 10)), asSet(order));
}

TEST_F(ProviderTest, NewlyListedFilesTakeRandomPlacesAmongTheUnserved) {
    TempDir dir;
    makeFiles(dir.path().string(), 4);
    const auto order = filesInListingOrder(dir.path().string());
    theSettings.scandirChunkSize = 2;
    // Draws of 0 put each new file first among the unserved; the largest
    // draws leave it last.
    const struct {
        int draw;
        std::vector<std::size_t> expected;  // indices into `order`
    } cases[] = {
        {0, {0, 3, 1, 2}},
        {32767, {0, 1, 2, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.draw);
        setRandomSource([] { return 0; });  // the first chunk in walk order
        FakeDecoder decoder;
        ProbedProvider provider({dir.path().string()}, decoder.function());
        setRandomSource([&c] { return c.draw; });
        serve(provider, decoder, 2);
        const auto state = provider.snapshot();
        ASSERT_EQ(state.files.size(), 4u);
        for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(state.files[i], order[c.expected[i]]) << i;
    }
}

TEST_F(ProviderTest, AThousandFilesJoinTheFirstPassAndTheReshuffleReachesOnly993) {
    TempDir dir;
    makeFiles(dir.path().string(), 1000);
    const auto order = filesInListingOrder(dir.path().string());
    ASSERT_EQ(order.size(), 1000u);
    theSettings.scandirChunkSize = 666;
    FakeDecoder decoder;
    ProbedProvider provider({dir.path().string()}, decoder.function());

    const auto firstPass = serve(provider, decoder, 1000);
    EXPECT_EQ(asSet(firstPass), asSet(order));
    const auto before = provider.snapshot();
    ASSERT_EQ(before.cursor, 1000u);

    // The second shuffle's first draw is the largest possible, the rest are
    // 0 (no exchange): only the first exchange moves anything. A list this
    // short shuffles exactly as it always has.
    int draws = 0;
    setRandomSource([&draws] { return draws++ == 0 ? 32767 : 0; });
    const auto firstOfSecond = serve(provider, decoder, 1);
    setRandomSource({});
    EXPECT_EQ(draws, 999);

    auto expected = before.files;
    std::swap(expected[0], expected[992]);
    EXPECT_EQ(provider.snapshot().files, expected);
    ASSERT_EQ(firstOfSecond.size(), 1u);
    EXPECT_EQ(firstOfSecond[0], expected[0]);
}

TEST_F(ProviderTest, FilesThatFailAreDroppedOnTheirFirstFailure) {
    TempDir dir;
    const auto good = makeFiles(dir.path().string(), 3, "pic");
    const auto bad = makeFiles(dir.path().string(), 4, "bad");
    theSettings.scandirChunkSize = 2;
    FakeDecoder decoder;
    ProbedProvider provider({dir.path().string()}, decoder.function());

    const auto served = serve(provider, decoder, 20);
    EXPECT_EQ(asSet(served), asSet(good));
    for (const auto& path : bad) EXPECT_EQ(decoder.calls(path), 1) << path;
    EXPECT_EQ(asSet(provider.snapshot().files), asSet(good));
}

TEST_F(ProviderTest, WhenEveryFileFailsCheckerboardsFollow) {
    TempDir dir;
    const auto bad = makeFiles(dir.path().string(), 5, "bad");
    theSettings.scandirChunkSize = 2;
    FakeDecoder decoder;
    ProbedProvider provider({dir.path().string()}, decoder.function());

    // One call goes through the whole walk, dropping everything.
    EXPECT_TRUE(isCheckerboard(provider.nextImage()));
    EXPECT_EQ(decoder.total(), 5);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(isCheckerboard(provider.nextImage()));
    EXPECT_EQ(decoder.total(), 5);
    for (const auto& path : bad) EXPECT_EQ(decoder.calls(path), 1) << path;
}

TEST_F(ProviderTest, AFolderConfiguredTwiceOrInsideAnotherIsWalkedOnce) {
    TempDir tree;
    const std::string twice = makeDir(tree.file("twice"));
    const std::string inner = makeDir(joinPath(twice, "inner"));
    const std::string repeated = makeFiles(twice, 1)[0];
    const std::string nested = makeFiles(inner, 1)[0];

    // The repeated path decodes the first time and fails afterwards: it is
    // dropped once and for all.
    int repeatedDecodes = 0;
    auto decode = [&](const std::string& path) -> std::unique_ptr<RGBImage> {
        if (path == repeated && ++repeatedDecodes > 1) return nullptr;
        return makeRGBImage(1, 1);
    };
    keepWalkOrder();
    ProbedProvider provider({twice, inner, twice}, decode);
    ASSERT_EQ(provider.snapshot().files, (std::vector<std::string>{repeated, nested}));

    for (int i = 0; i < 3; ++i) EXPECT_FALSE(isCheckerboard(provider.nextImage()));
    const auto state = provider.snapshot();
    EXPECT_EQ(state.files, std::vector<std::string>{nested});
    EXPECT_EQ(repeatedDecodes, 2);
}

TEST_F(ProviderTest, AChunkSizeBelowOneNeverWalks) {
    TempDir dir;
    makeFiles(dir.path().string(), 3);
    for (std::int32_t size : {0, -1, -666}) {
        theSettings.scandirChunkSize = size;
        FakeDecoder decoder;
        ProbedProvider provider({dir.path().string()}, decoder.function());
        for (int i = 0; i < 3; ++i) EXPECT_TRUE(isCheckerboard(provider.nextImage()));
        EXPECT_EQ(decoder.total(), 0);
        const auto state = provider.snapshot();
        EXPECT_TRUE(state.files.empty());
        EXPECT_EQ(state.pendingDirs, std::vector<std::string>{dir.path().string()});
    }
}

TEST_F(ProviderTest, LongListsShuffleWithFullReach) {
    // The first exchange's draw is the largest possible, every later one is
    // 0 (no exchange). Up to 32,768 entries the draw is uniformInt's, one
    // generator value per exchange; beyond, two values reach the very end.
    const struct {
        std::size_t size;
        std::size_t firstGoesTo;
        int draws;
    } cases[] = {
        {1000, 992, 999},
        {32768, 32767, 32767},
        {40000, 39999, 2 * 39999},
        {100000, 99999, 2 * 99999},
    };
    for (const auto& c : cases) {
        std::vector<std::string> paths(c.size);
        for (std::size_t i = 0; i < c.size; ++i) paths[i] = std::to_string(i);
        int draws = 0;
        const int maximal = c.size > kNarrowShuffleLimit ? 2 : 1;
        setRandomSource([&] { return draws++ < maximal ? 32767 : 0; });
        shufflePaths(paths);
        EXPECT_EQ(draws, c.draws) << c.size;
        EXPECT_EQ(paths[c.firstGoesTo], "0") << c.size;
        EXPECT_EQ(paths[0], std::to_string(c.firstGoesTo)) << c.size;
    }
}
