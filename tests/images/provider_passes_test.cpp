#include "provider_test_support.h"

namespace {

std::vector<std::string> firstN(const std::vector<std::string>& v, std::size_t n) {
    return {v.begin(), v.begin() + static_cast<std::ptrdiff_t>(std::min(n, v.size()))};
}

}  // namespace

TEST_F(ProviderTest, EachPassServesEveryListedFileOnceAndAddsTheNextChunk) {
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

    for (std::size_t size : {3u, 6u, 9u, 10u, 10u}) {
        const auto pass = serve(provider, decoder, static_cast<int>(size));
        EXPECT_EQ(asSet(pass).size(), size) << "a file came up twice in one pass";
        EXPECT_EQ(asSet(pass), asSet(firstN(order, size)));
    }
    const auto finished = provider.snapshot();
    EXPECT_FALSE(finished.listingOpen);
    EXPECT_TRUE(finished.pendingDirs.empty());
}

TEST_F(ProviderTest, AThousandFilesComeInTwoChunksAndTheReshuffleReachesOnly993) {
    TempDir dir;
    makeFiles(dir.path().string(), 1000);
    const auto order = filesInListingOrder(dir.path().string());
    ASSERT_EQ(order.size(), 1000u);
    theSettings.scandirChunkSize = 666;
    FakeDecoder decoder;
    ProbedProvider provider({dir.path().string()}, decoder.function());

    const auto firstPass = serve(provider, decoder, 666);
    EXPECT_EQ(asSet(firstPass), asSet(firstN(order, 666)));
    const auto before = provider.snapshot();
    ASSERT_EQ(before.cursor, 666u);

    // The second shuffle's first draw is the largest possible, the rest are
    // 0 (no exchange): only the first exchange moves anything.
    int draws = 0;
    setRandomSource([&draws] { return draws++ == 0 ? 32767 : 0; });
    const auto firstOfSecond = serve(provider, decoder, 1);
    setRandomSource({});
    EXPECT_EQ(draws, 999);

    auto expected = before.files;
    expected.insert(expected.end(), order.begin() + 666, order.end());
    std::swap(expected[0], expected[992]);
    EXPECT_EQ(provider.snapshot().files, expected);
    ASSERT_EQ(firstOfSecond.size(), 1u);
    EXPECT_EQ(firstOfSecond[0], expected[0]);

    auto secondPass = serve(provider, decoder, 999);
    secondPass.push_back(firstOfSecond[0]);
    EXPECT_EQ(asSet(secondPass), asSet(order));
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

TEST_F(ProviderTest, AFailureDropsOnlyTheFirstCopyOfAPathListedTwice) {
    TempDir tree;
    const std::string twice = makeDir(tree.file("twice"));
    const std::string once = makeDir(tree.file("once"));
    const std::string repeated = makeFiles(twice, 1)[0];
    const std::string single = makeFiles(once, 1)[0];

    // The repeated path decodes the first time and fails afterwards, so the
    // copy that fails is the second one while the first is dropped.
    int repeatedDecodes = 0;
    auto decode = [&](const std::string& path) -> std::unique_ptr<RGBImage> {
        if (path == repeated && ++repeatedDecodes > 1) return nullptr;
        return makeRGBImage(1, 1);
    };
    keepWalkOrder();
    ProbedProvider provider({twice, once, twice}, decode);
    ASSERT_EQ(provider.snapshot().files, (std::vector<std::string>{repeated, single, repeated}));

    for (int i = 0; i < 3; ++i) EXPECT_FALSE(isCheckerboard(provider.nextImage()));
    const auto state = provider.snapshot();
    EXPECT_EQ(state.files, (std::vector<std::string>{single, repeated}));
    EXPECT_EQ(state.cursor, 1u);
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
