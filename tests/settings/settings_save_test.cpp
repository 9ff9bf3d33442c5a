#include "registry_fixture.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::string dirName(int number) {
    char name[16];
    std::snprintf(name, sizeof name, "Dir%03d", number);
    return name;
}

const char* const floatNames[] = {
    "secondsPerImage", "secondsPerImageSigma", "fadeMean", "fadeSigma",
    "x0Mean", "x0Sigma", "y0Mean", "y0Sigma", "z0Mean", "z0Sigma",
    "x1Mean", "x1Sigma", "y1Mean", "y1Sigma", "z1Mean", "z1Sigma"};

}  // namespace

using SettingsSave = RegistryTest;

TEST_F(SettingsSave, WritesTheLayoutByteForByte) {
    Settings s;
    s.scandirChunkSize = 0x01020304;
    s.texDim = 2;
    s.multimon = true;
    s.pairs = false;
    s.directories = {"C:\\Pictures", "D:\\"};
    EXPECT_TRUE(s.save());

    EXPECT_TRUE(valueIs(stored("scandirChunkSize"), kRegistryDword, {4, 3, 2, 1}));
    EXPECT_TRUE(valueIs(stored("texDim"), kRegistryDword, {2, 0, 0, 0}));
    EXPECT_TRUE(valueIs(stored("multimon"), kRegistryDword, {1, 0, 0, 0}));
    EXPECT_TRUE(valueIs(stored("pairs"), kRegistryDword, {0, 0, 0, 0}));
    EXPECT_TRUE(valueIs(stored("DirCount"), kRegistryDword, {2, 0, 0, 0}));
    EXPECT_TRUE(valueIs(stored("Dir001"), kRegistryString, sz("C:\\Pictures")));
    EXPECT_TRUE(valueIs(stored("Dir002"), kRegistryString, sz("D:\\")));

    const char* const defaultTexts[] = {"17", "1", "3", "0.1", "0", "0.2", "0", "0.15",
                                        "-0.8", "0.03", "0", "0.01", "0", "0.01", "-1", "0.01"};
    std::vector<std::string> expectedNames = {"DirCount", "Dir001", "Dir002",
                                              "multimon", "pairs", "scandirChunkSize", "texDim"};
    for (std::size_t i = 0; i < std::size(floatNames); ++i) {
        EXPECT_TRUE(valueIs(stored(floatNames[i]), kRegistryString, sz(defaultTexts[i])))
            << floatNames[i];
        expectedNames.push_back(floatNames[i]);
    }
    std::sort(expectedNames.begin(), expectedNames.end());
    EXPECT_EQ(storedNames(), expectedNames);
}

TEST_F(SettingsSave, RoundTripKeepsListOrderAndSixDigits) {
    Settings s;
    // Paths of MAX_PATH and beyond come back whole, not dropped.
    s.directories = {"C:\\b", "C:\\a", "C:\\b", std::string(259, 'p'), std::string(260, 'q'),
                     "C:\\" + std::string(4000, 'r')};
    s.secondsPerImage = 17.123456f;
    s.fadeSigma = 0.000123456789f;
    s.x0Mean = -12345678.0f;
    s.z1Sigma = 1e-30f;
    s.scandirChunkSize = -3;
    s.texDim = 4;
    s.save();
    EXPECT_TRUE(valueIs(stored("secondsPerImage"), kRegistryString, sz("17.1235")));

    Settings back;
    back.load();
    EXPECT_EQ(back.directories, s.directories);
    EXPECT_FLOAT_EQ(back.secondsPerImage.load(), 17.1235f);
    EXPECT_FLOAT_EQ(back.fadeSigma, 0.000123457f);
    EXPECT_FLOAT_EQ(back.x0Mean, -1.23457e7f);
    EXPECT_FLOAT_EQ(back.z1Sigma, 1e-30f);
    EXPECT_FLOAT_EQ(back.fadeMean, 3.0f);
    EXPECT_EQ(back.scandirChunkSize, -3);
    EXPECT_EQ(back.texDim, 4);
}

TEST_F(SettingsSave, ShorterListDeletesOldValuesUpToOldCount) {
    plantDword("DirCount", 5);
    for (int i = 1; i <= 6; ++i) plantText(dirName(i), "old" + std::to_string(i));
    Settings s;
    s.directories = {"new1", "new2"};
    s.save();
    EXPECT_TRUE(valueIs(stored("DirCount"), kRegistryDword, dword(2)));
    EXPECT_TRUE(valueIs(stored("Dir001"), kRegistryString, sz("new1")));
    EXPECT_TRUE(valueIs(stored("Dir002"), kRegistryString, sz("new2")));
    EXPECT_FALSE(has("Dir003"));
    EXPECT_FALSE(has("Dir004"));
    EXPECT_FALSE(has("Dir005"));
    EXPECT_TRUE(has("Dir006"));  // above the old count: never ours to delete
}

TEST_F(SettingsSave, HoleInTheListIsClosedOnNextSave) {
    plantDword("DirCount", 3);
    plantText("Dir001", "first");
    plantText("Dir003", "third");
    Settings s;
    s.load();
    ASSERT_EQ(s.directories, (std::vector<std::string>{"first", "third"}));
    s.save();
    EXPECT_TRUE(valueIs(stored("DirCount"), kRegistryDword, dword(2)));
    EXPECT_TRUE(valueIs(stored("Dir001"), kRegistryString, sz("first")));
    EXPECT_TRUE(valueIs(stored("Dir002"), kRegistryString, sz("third")));
    EXPECT_FALSE(has("Dir003"));
}

TEST_F(SettingsSave, MultimonSevenIsSavedBackAsOne) {
    plantDword("multimon", 7);
    Settings s;
    s.load();
    s.save();
    EXPECT_TRUE(valueIs(stored("multimon"), kRegistryDword, dword(1)));
}

TEST_F(SettingsSave, NumbersGetFourDigitsFromTheThousandth) {
    Settings s;
    for (int i = 1; i <= 1001; ++i) {
        std::string path = "P";
        path += std::to_string(i);
        s.directories.push_back(path);
    }
    s.save();
    EXPECT_TRUE(valueIs(stored("Dir001"), kRegistryString, sz("P1")));
    EXPECT_TRUE(valueIs(stored("Dir999"), kRegistryString, sz("P999")));
    EXPECT_TRUE(valueIs(stored("Dir1000"), kRegistryString, sz("P1000")));
    EXPECT_TRUE(valueIs(stored("Dir1001"), kRegistryString, sz("P1001")));
    EXPECT_FALSE(has("Dir0001"));
    Settings back;
    back.load();
    EXPECT_EQ(back.directories, s.directories);
}

TEST_F(SettingsSave, HugeOldDirCountIsBounded) {
    plantDword("DirCount", std::numeric_limits<std::int32_t>::max());
    plantText("Dir001", "a");
    plantText("Dir777", "b");
    Settings s;
    s.directories = {"only"};
    const auto start = std::chrono::steady_clock::now();
    s.save();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_TRUE(valueIs(stored("Dir001"), kRegistryString, sz("only")));
    EXPECT_FALSE(has("Dir777"));
    EXPECT_TRUE(valueIs(stored("DirCount"), kRegistryDword, dword(1)));
}

#ifndef _WIN32
TEST_F(SettingsSave, WithoutAccessWritesNothing) {
    registry_testing::denyAccess(true);
    Settings s;
    s.directories = {"C:\\x"};
    EXPECT_FALSE(s.save());  // the dialog reports this through its result
    registry_testing::denyAccess(false);
    EXPECT_EQ(RegistryKey::openForRead(Settings::registryKey), nullptr);
    EXPECT_TRUE(storedNames().empty());
}
#endif

#ifdef _WIN32
// Checks the real registry with the plain Win32 calls, past our own seam.
TEST_F(SettingsSave, RoundTripsThroughTheWindowsRegistry) {
    Settings s;
    s.directories = {"C:\\Users\\Public\\Pictures"};
    s.fadeMean = 2.25f;
    s.save();

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Glimmora", 0, KEY_READ | KEY_WRITE, &key),
              ERROR_SUCCESS);
    DWORD type = 0;
    DWORD count = 0;
    DWORD size = sizeof count;
    EXPECT_EQ(RegQueryValueExA(key, "DirCount", nullptr, &type,
                               reinterpret_cast<BYTE*>(&count), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(count, 1u);
    char text[64] = {};
    size = sizeof text;
    EXPECT_EQ(RegQueryValueExA(key, "fadeMean", nullptr, &type,
                               reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::string(text, size), std::string("2.25", 5));

    const char seconds[] = "42.5";
    RegSetValueExA(key, "secondsPerImage", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(seconds), sizeof seconds);
    RegCloseKey(key);

    Settings back;
    back.load();
    EXPECT_EQ(back.directories, s.directories);
    EXPECT_FLOAT_EQ(back.fadeMean, 2.25f);
    EXPECT_FLOAT_EQ(back.secondsPerImage.load(), 42.5f);
}
#endif
