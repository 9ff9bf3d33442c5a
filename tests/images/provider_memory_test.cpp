#include "provider_test_support.h"

#include "images/pass_memory.h"

#include <thread>

namespace {

// One run of the show: a provider on `folders` remembering its pass in
// `state`, serving `count` pictures.
std::vector<std::string> run(const std::vector<std::string>& folders, const std::string& state,
                             int count, int shown = -1) {
    FakeDecoder decoder;
    RandomImageProvider provider(folders, decoder.function(),
                                 RandomImageProvider::FirstChunk::AtConstruction,
                                 std::make_unique<PassMemory>(state, folders));
    return serve(provider, decoder, count, shown);
}

std::set<std::string> minus(const std::vector<std::string>& all, const std::vector<std::string>& some) {
    std::set<std::string> rest = asSet(all);
    for (const auto& path : some) rest.erase(path);
    return rest;
}

}  // namespace

TEST_F(ProviderTest, TheNextRunShowsTheRestOfThePassFirst) {
    // A chunk of 2 lists the eight files over several pictures: the second
    // run must walk on past the files the first one showed.
    for (const std::int32_t chunk : {666, 2}) {
        SCOPED_TRACE(chunk);
        theSettings.scandirChunkSize = chunk;
        TempDir dir, stateDir;
        const std::vector<std::string> folders = {makeDir(dir.file("pictures"))};
        const auto all = makeFiles(folders[0], 8);
        const std::string state = stateDir.file("state");

        const auto first = run(folders, state, 3);
        EXPECT_EQ(asSet(first).size(), 3u);
        const auto second = run(folders, state, 5);
        EXPECT_EQ(asSet(second), minus(all, first));
        // All shown: the third run begins a new pass, every file in it once.
        EXPECT_EQ(asSet(run(folders, state, 8)), asSet(all));
    }
}

TEST_F(ProviderTest, PicturesServedButNeverOnScreenComeFirstInTheNextRun) {
    TempDir dir, stateDir;
    const std::vector<std::string> folders = {makeDir(dir.file("pictures"))};
    const auto all = makeFiles(folders[0], 8);
    const std::string state = stateDir.file("state");
    // Four served, one seen: the other three were queued when the run ended.
    const auto first = run(folders, state, 4, 1);
    EXPECT_EQ(asSet(run(folders, state, 7)), minus(all, {first[0]}));
}

TEST_F(ProviderTest, AddedFilesJoinThePassRemovedOnesDropOut) {
    TempDir dir, stateDir;
    const std::vector<std::string> folders = {makeDir(dir.file("pictures"))};
    auto all = makeFiles(folders[0], 6);
    const std::string state = stateDir.file("state");
    const auto first = run(folders, state, 2);

    // One unshown file goes, two new ones come.
    auto unshown = minus(all, first);
    const std::string removed = *unshown.begin();
    std::filesystem::remove(removed);
    unshown.erase(removed);
    for (const auto& added : makeFiles(folders[0], 2, "new")) unshown.insert(added);

    const auto second = run(folders, state, 5);
    EXPECT_EQ(asSet(second), unshown);
}

TEST_F(ProviderTest, AnotherFolderListStartsANewPass) {
    TempDir dir, stateDir;
    const std::string a = makeDir(dir.file("a"));
    const std::string b = makeDir(dir.file("b"));
    const auto inA = makeFiles(a, 3);
    makeFiles(b, 1);
    const std::string state = stateDir.file("state");
    run({a}, state, 3);
    // {a, b} is another list: a's files count as unshown again.
    std::vector<std::string> both = inA;
    both.push_back(joinPath(b, "pic0"));
    EXPECT_EQ(asSet(run({a, b}, state, 4)), asSet(both));
}

TEST_F(ProviderTest, LoadersServingAtOnceLeaveTheWholePassInTheState) {
    TempDir dir, stateDir;
    const std::vector<std::string> folders = {makeDir(dir.file("pictures"))};
    const auto all = makeFiles(folders[0], 100);
    const std::string state = stateDir.file("state");
    {
        FakeDecoder decoder;
        RandomImageProvider provider(folders, decoder.function(),
                                     RandomImageProvider::FirstChunk::AtConstruction,
                                     std::make_unique<PassMemory>(state, folders));
        // Saves that find another one under way leave theirs to the next
        // one, or to the end.
        std::vector<std::thread> loaders;
        for (int t = 0; t < 4; ++t)
            loaders.emplace_back([&] {
                for (int i = 0; i < 24; ++i) {
                    const auto image = provider.nextImage();
                    for (const auto& file : image->files) provider.pictureShown(file);
                }
            });
        for (auto& loader : loaders) loader.join();
        EXPECT_EQ(asSet(decoder.decoded()).size(), 96u);
    }
    PassMemory next(state, folders);
    EXPECT_EQ(next.shownCount(), 96u);
    std::size_t shown = 0;
    for (const auto& path : all) shown += next.shownInPass(path) ? 1 : 0;
    EXPECT_EQ(shown, 96u);
}
