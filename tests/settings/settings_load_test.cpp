#include "registry_fixture.h"

#include <chrono>
#include <limits>

namespace {

void expectDefaults(const Settings& s) {
    EXPECT_EQ(s.scandirChunkSize, 666);
    EXPECT_FALSE(s.multimon);
    EXPECT_TRUE(s.pairs);
    EXPECT_EQ(s.texDim, 0);
    EXPECT_FLOAT_EQ(s.secondsPerImage.load(), 17.0f);
    EXPECT_FLOAT_EQ(s.secondsPerImageSigma, 1.0f);
    EXPECT_FLOAT_EQ(s.fadeMean, 3.0f);
    EXPECT_FLOAT_EQ(s.fadeSigma, 0.1f);
    EXPECT_FLOAT_EQ(s.x0Mean, 0.0f);
    EXPECT_FLOAT_EQ(s.y0Mean, 0.0f);
    EXPECT_FLOAT_EQ(s.z0Mean, -0.8f);
    EXPECT_FLOAT_EQ(s.x0Sigma, 0.2f);
    EXPECT_FLOAT_EQ(s.y0Sigma, 0.15f);
    EXPECT_FLOAT_EQ(s.z0Sigma, 0.03f);
    EXPECT_FLOAT_EQ(s.x1Mean, 0.0f);
    EXPECT_FLOAT_EQ(s.y1Mean, 0.0f);
    EXPECT_FLOAT_EQ(s.z1Mean, -1.0f);
    EXPECT_FLOAT_EQ(s.x1Sigma, 0.01f);
    EXPECT_FLOAT_EQ(s.y1Sigma, 0.01f);
    EXPECT_FLOAT_EQ(s.z1Sigma, 0.01f);
}

// Fields set away from their defaults, to see load put them back.
void scramble(Settings& s) {
    s.scandirChunkSize = 1;
    s.multimon = true;
    s.pairs = false;
    s.texDim = 4;
    s.secondsPerImage = 99.0f;
    s.fadeSigma = 99.0f;
    s.z1Sigma = 99.0f;
}

}  // namespace

using SettingsLoad = RegistryTest;

TEST_F(SettingsLoad, FirstRunGivesDefaultsAndKeepsTheList) {
    Settings s;
    expectDefaults(s);
    scramble(s);
    s.directories = {"C:\\kept"};
    s.maxTextureSize = 2048;
    s.load();
    expectDefaults(s);
    EXPECT_EQ(s.directories, std::vector<std::string>{"C:\\kept"});
    EXPECT_EQ(s.textureLimit(), 2048);
}

#ifndef _WIN32
TEST_F(SettingsLoad, UnreadableKeyGivesDefaults) {
    plantDword("scandirChunkSize", 5);
    plantDword("DirCount", 1);
    plantText("Dir001", "C:\\pics");
    registry_testing::denyAccess(true);
    Settings s;
    scramble(s);
    s.load();
    expectDefaults(s);
    EXPECT_TRUE(s.directories.empty());
}
#endif

TEST_F(SettingsLoad, IntegersAreFourBytesOfAnyType) {
    plant("scandirChunkSize", 3 /* REG_BINARY */, dword(0xFFFFFFFB));
    plantDword("multimon", 7);
    plantDword("pairs", 0);
    plant("texDim", kRegistryDword, {2, 0, 0, 0, 0});  // five bytes: too long
    Settings s;
    scramble(s);
    s.load();
    EXPECT_EQ(s.scandirChunkSize, -5);
    EXPECT_TRUE(s.multimon);
    EXPECT_FALSE(s.pairs);
    EXPECT_EQ(s.texDim, 0);

    plant("texDim", kRegistryDword, {3, 0});  // short data: high bytes zero
    plantDword("multimon", 0);
    plant("pairs", kRegistryDword, {2});
    s.load();
    EXPECT_EQ(s.texDim, 3);
    EXPECT_FALSE(s.multimon);
    EXPECT_TRUE(s.pairs);
}

TEST_F(SettingsLoad, TexDimWithoutTableEntryMeansDriverMaximum) {
    Settings s;
    for (std::uint32_t stored : {5u, 9u, 0xFFFFFFFFu}) {
        plantDword("texDim", stored);
        s.texDim = 2;
        s.load();
        EXPECT_EQ(s.texDim, 0) << stored;
    }
}

TEST_F(SettingsLoad, DirectoriesSkipHolesAndOverlongValuesAndAppend) {
    const std::string longest(65535, 'L');  // 65,536 bytes with the NUL: fits
    plantDword("DirCount", 6);
    plantText("Dir001", "C:\\one");
    // Dir002 missing.
    plantText("Dir003", std::string(65536, 'X'));  // no path is that long: skipped
    plantText("Dir004", longest);
    plant("Dir005", kRegistryString, bytes("D:\\no terminator"));
    plant("Dir006", kRegistryString, bytes(std::string("E:\\cut\0junk", 11)));
    plantText("Dir007", "beyond the count");
    Settings s;
    s.directories = {"old"};
    s.load();
    EXPECT_EQ(s.directories, (std::vector<std::string>{"old", "C:\\one", longest,
                                                       "D:\\no terminator", "E:\\cut"}));
}

TEST_F(SettingsLoad, DirCountNotAboveZeroLoadsNothing) {
    plantText("Dir001", "C:\\one");
    Settings s;
    for (std::uint32_t count : {0u, 0xFFFFFFFFu, 0x80000000u}) {
        plantDword("DirCount", count);
        s.load();
        EXPECT_TRUE(s.directories.empty()) << count;
    }
}

TEST_F(SettingsLoad, HugeDirCountIsBoundedButKeepsSparseEntries) {
    plantDword("DirCount", std::numeric_limits<std::int32_t>::max());
    plantText("Dir001", "a");
    plantText("Dir500", "b");
    plantText("Dir9999", "c");
    Settings s;
    const auto start = std::chrono::steady_clock::now();
    s.load();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(s.directories, (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(SettingsLoad, FloatTextsParseLikeScanf) {
    plantText("secondsPerImage", "  12.5  ");
    plantText("secondsPerImageSigma", "2.5x");
    plantText("fadeMean", "abc 4");         // no leading number: default
    plantText("fadeSigma", "");             // empty: default
    plant("x0Mean", kRegistryString, bytes("0.75"));  // no NUL
    plantText("x0Sigma", "\t-1.5e2\n");
    plantText("y0Mean", "1" + std::string(254, ' '));   // 256 bytes: read
    plantText("y0Sigma", "2" + std::string(255, ' '));  // 257 bytes: default
    plantText("z0Mean", "-0");
    plantDword("z0Sigma", 0x00302E35);  // "5.0" and a NUL, typed as a number
    Settings s;
    s.load();
    EXPECT_FLOAT_EQ(s.secondsPerImage.load(), 12.5f);
    EXPECT_FLOAT_EQ(s.secondsPerImageSigma, 2.5f);
    EXPECT_FLOAT_EQ(s.fadeMean, 3.0f);
    EXPECT_FLOAT_EQ(s.fadeSigma, 0.1f);
    EXPECT_FLOAT_EQ(s.x0Mean, 0.75f);
    EXPECT_FLOAT_EQ(s.x0Sigma, -150.0f);
    EXPECT_FLOAT_EQ(s.y0Mean, 1.0f);
    EXPECT_FLOAT_EQ(s.y0Sigma, 0.15f);
    EXPECT_FLOAT_EQ(s.z0Mean, 0.0f);
    EXPECT_FLOAT_EQ(s.z0Sigma, 5.0f);

    plantText("secondsPerImage", "seventeen");
    s.load();
    EXPECT_FLOAT_EQ(s.secondsPerImage.load(), 17.0f);
}

TEST_F(SettingsLoad, TextsThatAreNotFiniteNumbersLoadTheDefault) {
    for (const char* text : {"inf", "-inf", "nan", "infinity", "information", "Nancy",
                             " -INF ", "nan(0x1)", "1e999", "-1e39"}) {
        plantText("secondsPerImage", text);
        plantText("z0Mean", text);
        Settings s;
        s.load();
        EXPECT_FLOAT_EQ(s.secondsPerImage.load(), 17.0f) << text;
        EXPECT_FLOAT_EQ(s.z0Mean, -0.8f) << text;
    }
}
