#include "shell/switch_scan.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct SwitchCase {
    std::string tail;
    RunMode mode;
    std::uint32_t previewWindow;
};

void PrintTo(const SwitchCase& c, std::ostream* os) { *os << '"' << c.tail << '"'; }

class SwitchTable : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchTable, DecidesModeAndPreviewWindow) {
    const SwitchCase& c = GetParam();
    SwitchChoice choice = scanSwitch(c.tail.c_str());
    EXPECT_EQ(static_cast<int>(choice.mode), static_cast<int>(c.mode));
    EXPECT_EQ(choice.previewWindow, c.previewWindow);
}

INSTANTIATE_TEST_SUITE_P(
    Tails, SwitchTable,
    ::testing::Values(
        // The full-screen run, however the platform spells it.
        SwitchCase{"/S", RunMode::FullScreen, 0}, SwitchCase{"-s", RunMode::FullScreen, 0},
        SwitchCase{"s", RunMode::FullScreen, 0}, SwitchCase{"  /s", RunMode::FullScreen, 0},
        SwitchCase{"/-/ -s", RunMode::FullScreen, 0},
        // The first letter decides; the rest is never read.
        SwitchCase{"/s /p 123", RunMode::FullScreen, 0},
        SwitchCase{"/c:1234", RunMode::ConfigureOwned, 0},
        SwitchCase{"/C", RunMode::ConfigureOwned, 0},
        SwitchCase{"", RunMode::ConfigureUnowned, 0},
        SwitchCase{"   ", RunMode::ConfigureUnowned, 0},
        SwitchCase{"/", RunMode::ConfigureUnowned, 0},
        // Preview numbers: only blanks may separate them from the letter.
        SwitchCase{"/p 1234", RunMode::Preview, 1234}, SwitchCase{"/p1234", RunMode::Preview, 1234},
        SwitchCase{"/P   1234", RunMode::Preview, 1234},
        SwitchCase{"/p 123abc", RunMode::Preview, 123},
        SwitchCase{"/p 0042", RunMode::Preview, 42},
        SwitchCase{"/p:1234", RunMode::Invalid, 0}, SwitchCase{"/p", RunMode::Invalid, 0},
        SwitchCase{"/p ", RunMode::Invalid, 0}, SwitchCase{"/p 0", RunMode::Invalid, 0},
        SwitchCase{"/p 000", RunMode::Invalid, 0}, SwitchCase{"/p\t1234", RunMode::Invalid, 0},
        SwitchCase{"/p -1234", RunMode::Invalid, 0},
        // 32-bit wrap: 4294967296 is 2^32, which reads as 0 and is refused;
        // one more reads as 1.
        SwitchCase{"/p 4294967295", RunMode::Preview, 4294967295u},
        SwitchCase{"/p 4294967296", RunMode::Invalid, 0},
        SwitchCase{"/p 4294967297", RunMode::Preview, 1},
        SwitchCase{"/p 99999999999999999999999", RunMode::Preview, 4135583743u},
        SwitchCase{"/a", RunMode::ChangePassword, 0}, SwitchCase{"A", RunMode::ChangePassword, 0},
        SwitchCase{"/w", RunMode::Windowed, 0}, SwitchCase{"-W", RunMode::Windowed, 0},
        // Tab is not skipped; digits, other letters and bytes above 'w' are refused.
        SwitchCase{"\t/s", RunMode::Invalid, 0}, SwitchCase{"1", RunMode::Invalid, 0},
        SwitchCase{"/x", RunMode::Invalid, 0}, SwitchCase{"/b", RunMode::Invalid, 0},
        SwitchCase{"/\x7f", RunMode::Invalid, 0}, SwitchCase{"/\xc3\xa9", RunMode::Invalid, 0},
        SwitchCase{"/\xf7", RunMode::Invalid, 0}, SwitchCase{"/\xd3", RunMode::Invalid, 0},
        SwitchCase{"\"/s\"", RunMode::Invalid, 0}));

TEST(SwitchScan, NullTailIsEmpty) {
    EXPECT_EQ(static_cast<int>(scanSwitch(nullptr).mode),
              static_cast<int>(RunMode::ConfigureUnowned));
}

}  // namespace
