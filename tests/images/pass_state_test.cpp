#include "images/pass_memory.h"
#include "images/pass_state.h"
#include "platform/debug_output.h"
#include "platform/state_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <atomic>
#include <functional>
#include <thread>
#include <string>
#include <vector>

namespace {

PassState sampleState() {
    PassState state;
    state.folders = folderListHash({"C:\\Pictures", "D:\\Photos"});
    state.pass = 0x0123456789abcdefull;
    state.shown = {3, 17, 0x8000000000000000ull, 0xffffffffffffffffull};
    return state;
}

}  // namespace

TEST(PassState, RoundTripsWithAFixedLayout) {
    const auto bytes = encodePassState(sampleState());
    ASSERT_EQ(bytes.size(), 32u + 4 * 8 + 8);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "GLMPASS1");
    EXPECT_EQ(bytes[12], 4);  // the count, little-endian
    const auto back = decodePassState(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->folders, sampleState().folders);
    EXPECT_EQ(back->pass, sampleState().pass);
    EXPECT_EQ(back->shown, sampleState().shown);
    const PassState empty;
    EXPECT_TRUE(decodePassState(encodePassState(empty)));
}

TEST(PassState, AnyDamageIsRefused) {
    const auto good = encodePassState(sampleState());
    // Every cut, and one flipped bit in every byte.
    for (std::size_t length = 0; length < good.size(); ++length)
        EXPECT_FALSE(decodePassState(std::span(good).first(length))) << "cut at " << length;
    for (std::size_t i = 0; i < good.size(); ++i) {
        auto bad = good;
        bad[i] ^= 0x10;
        EXPECT_FALSE(decodePassState(bad)) << "byte " << i;
    }
    auto longer = good;
    longer.push_back(0);
    EXPECT_FALSE(decodePassState(longer));
    // A well-formed file whose hashes are out of order was not ours.
    PassState unsorted = sampleState();
    std::swap(unsorted.shown[0], unsorted.shown[1]);
    EXPECT_FALSE(decodePassState(encodePassState(unsorted)));
}

TEST(PassState, FolderListsCompareAsSets) {
    EXPECT_EQ(folderListHash({"a", "b"}), folderListHash({"b", "a"}));
    EXPECT_NE(folderListHash({"ab"}), folderListHash({"a", "b"}));
    EXPECT_NE(folderListHash({"a"}), folderListHash({"a", "b"}));
    EXPECT_NE(folderListHash({}), folderListHash({""}));
}

TEST(PassMemory, StatesThatCannotBeUsedStartANewPassWithOneLine) {
    TempDir dir;
    const std::string path = dir.file("state");
    const std::vector<std::string> folders = {"/pictures"};
    auto truncated = [&] {
        PassState state;
        state.folders = folderListHash(folders);
        state.shown = {pathHash("/pictures/a")};
        auto bytes = encodePassState(state);
        bytes.pop_back();
        writeFile(path, bytes.data(), bytes.size());
    };
    struct Case {
        const char* what;
        std::function<void()> make;
        const char* line;  // null: no line
    } cases[] = {
        {"no file", [] {}, nullptr},
        {"an empty file", [&] { writeFile(path, ""); }, "is damaged"},
        {"a truncated file", truncated, "is damaged"},
        {"text", [&] { writeFile(path, "hello, world\n"); }, "is damaged"},
        {"a folder in its place", [&] { std::filesystem::create_directory(path); },
         "could not be read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(path);
        c.make();
        DebugOutputCapture capture;
        PassMemory memory(path, folders);
        EXPECT_FALSE(memory.shownInPass("/pictures/a"));
        EXPECT_EQ(memory.shownCount(), 0u);
        if (c.line) {
            EXPECT_EQ(capture.text(), std::string("Glimmora: the state of the shown pictures ") +
                                          c.line + "; a new pass begins\n");
        } else {
            EXPECT_EQ(capture.text(), "");
        }
    }
}

TEST(PassMemory, TheNextRunKnowsWhatThisPassShowed) {
    TempDir dir;
    const std::string path = dir.file("state");
    {
        PassMemory memory(path, {"/p"});
        memory.markShown("/p/a");
        memory.markShown("/p/b");
        memory.save();
        memory.markShown("/p/c");  // written when it goes
    }
    PassMemory next(path, {"/p"});
    EXPECT_TRUE(next.shownInPass("/p/a"));
    EXPECT_TRUE(next.shownInPass("/p/b"));
    EXPECT_TRUE(next.shownInPass("/p/c"));
    EXPECT_FALSE(next.shownInPass("/p/d"));
    EXPECT_EQ(next.shownCount(), 3u);

    // Another folder list is another pass.
    EXPECT_EQ(PassMemory(path, {"/p", "/q"}).shownCount(), 0u);

    // A new pass forgets, on disk too.
    next.beginNewPass();
    next.markShown("/p/d");
    next.save();
    PassMemory after(path, {"/p"});
    EXPECT_FALSE(after.shownInPass("/p/a"));
    EXPECT_TRUE(after.shownInPass("/p/d"));
    // Nothing but the state is left in the folder: no temporary files.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1u);
}

// What a run that died between writing and renaming left goes at the next
// start; a writer's fresh temporary, the state and other files stay.
TEST(PassMemory, AStartRemovesOnlyStaleTemporaryStates) {
    TempDir dir;
    const std::string path = dir.file("state");
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(2);
    const struct {
        const char* name;
        bool aged;
        bool stays;
    } files[] = {
        {"state.tmp.123.0", true, false},  {"state.tmp.9.7", true, false},
        {"state.tmp.124.0", false, true},  {"state", true, true},
        {"other.tmp.1.0", true, true},     {"state.tmpx", true, true},
        {"xstate.tmp.1.0", true, true},
    };
    for (const auto& f : files) {
        writeFile(dir.file(f.name), "x");
        if (f.aged) std::filesystem::last_write_time(dir.file(f.name), old);
    }
    PassMemory memory(path, {"/p"});
    for (const auto& f : files)
        EXPECT_EQ(std::filesystem::exists(dir.file(f.name)), f.stays) << f.name;
}

TEST(PassMemory, TwoWritersOfOnePassKeepBothTheirPictures) {
    TempDir dir;
    const std::string path = dir.file("state");
    { PassMemory(path, {"/p"}).markShown("/p/start"); }
    // Both read the same pass, as a preview and the full-screen saver do.
    PassMemory one(path, {"/p"});
    PassMemory two(path, {"/p"});
    one.markShown("/p/one");
    two.markShown("/p/two");
    one.save();
    two.save();
    PassMemory next(path, {"/p"});
    EXPECT_TRUE(next.shownInPass("/p/start"));
    EXPECT_TRUE(next.shownInPass("/p/one"));
    EXPECT_TRUE(next.shownInPass("/p/two"));
}

TEST(PassMemory, ThePlatformsStateFolder) {
#ifdef _WIN32
    const char* variable = "LOCALAPPDATA";
#else
    const char* variable = "XDG_STATE_HOME";
#endif
    TempDir dir;
    const char* saved = std::getenv(variable);
    const std::string savedValue = saved ? saved : "";
#ifdef _WIN32
    _putenv_s(variable, dir.path().string().c_str());
#else
    setenv(variable, dir.path().string().c_str(), 1);
#endif
    const auto folder = stateDirectory();
#ifdef _WIN32
    _putenv_s(variable, savedValue.c_str());
#else
    if (saved) setenv(variable, savedValue.c_str(), 1);
    else unsetenv(variable);
#endif
    ASSERT_TRUE(folder);
#ifdef _WIN32
    EXPECT_EQ(std::filesystem::path(*folder), dir.path() / "Glimmora");
#else
    EXPECT_EQ(std::filesystem::path(*folder), dir.path() / "glimmora");
#endif
    EXPECT_TRUE(std::filesystem::is_directory(*folder));
}

// Writers of their own (as two processes have) replacing the state over and
// over while it is read: every read finds a whole state, and the last one
// holds both writers' pictures.
TEST(PassMemory, ConcurrentWritersNeverLeaveAStateHalfWritten) {
    TempDir dir;
    const std::string path = dir.file("state");
    { PassMemory(path, {"/p"}).markShown("/p/start"); }
    PassMemory one(path, {"/p"});
    PassMemory two(path, {"/p"});
    std::atomic<bool> writing{true};
    std::atomic<int> torn{0}, reads{0};
    std::thread reader([&] {
        std::vector<unsigned char> bytes;
        while (writing) {
            if (readStateFile(path, kLargestPassStateBytes, bytes) != StateRead::Read ||
                !decodePassState(bytes))
                ++torn;
            ++reads;
        }
    });
    auto write = [](PassMemory& memory, const char* prefix) {
        for (int i = 0; i < 150; ++i) {
            memory.markShown(std::string(prefix) + std::to_string(i));
            memory.save();
        }
    };
    std::thread first([&] { write(one, "/p/one-"); });
    std::thread second([&] { write(two, "/p/two-"); });
    first.join();
    second.join();
    writing = false;
    reader.join();
    EXPECT_EQ(torn.load(), 0) << "of " << reads.load() << " reads";
    // Each wrote last after the other at some point; a final save by each
    // leaves the union.
    one.markShown("/p/one-last");
    one.save();
    two.markShown("/p/two-last");
    two.save();
    PassMemory next(path, {"/p"});
    EXPECT_TRUE(next.shownInPass("/p/start"));
    EXPECT_TRUE(next.shownInPass("/p/one-149"));
    EXPECT_TRUE(next.shownInPass("/p/two-149"));
    EXPECT_EQ(next.shownCount(), 1u + 151u + 151u);
}
