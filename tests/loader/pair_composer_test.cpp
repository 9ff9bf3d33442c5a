#include "loader/pair_composer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

// A picture whose every pixel is (id, id, id), so that its place in a pair
// and its identity show in the pixels.
std::unique_ptr<RGBImage> solid(int width, int height, unsigned char id) {
    auto image = makeRGBImage(width, height);
    std::memset(image->pixels, id, static_cast<std::size_t>(width) * height * 3);
    return image;
}

unsigned char at(const RGBImage& image, int x, int y) { return image.row(y)[x * 3]; }

// Hands out pictures of the given sizes, ids 1, 2, 3... in order; null when
// they run out.
class Picks {
public:
    explicit Picks(std::vector<std::pair<int, int>> sizes) : sizes_(std::move(sizes)) {}
    PairComposer::Pick pick() {
        return [this]() -> std::unique_ptr<RGBImage> {
            if (next_ >= sizes_.size()) return nullptr;
            const auto [w, h] = sizes_[next_];
            ++next_;
            return solid(w, h, static_cast<unsigned char>(next_));
        };
    }
    std::size_t picked() const { return next_; }

private:
    std::vector<std::pair<int, int>> sizes_;
    std::size_t next_ = 0;
};

// The ids a slide's picture shows: one for a single picture, the first
// half's then the second's for a pair (left to right, top to bottom).
std::string idsOf(const RGBImage& image, bool sideBySide) {
    std::string ids;
    auto add = [&ids](unsigned char id) {
        if (!ids.empty()) ids += ',';
        ids += std::to_string(id);
    };
    const unsigned char firstId = sideBySide ? at(image, 0, 0) : at(image, 0, image.height - 1);
    const unsigned char lastId = sideBySide ? at(image, image.width - 1, 0) : at(image, 0, 0);
    add(firstId);
    if (lastId != firstId) add(lastId);
    return ids;
}

}  // namespace

TEST(PairComposer, WhichPicturesShareASlide) {
    constexpr std::pair<int, int> P{30, 40}, L{40, 30}, S{20, 20};
    struct Case {
        const char* what;
        int screenWidth, screenHeight;
        bool pairs;
        std::vector<std::pair<int, int>> pictures;
        std::vector<std::string> slides;  // ids shown per slide, in order
    } cases[] = {
        {"two portraits on a landscape screen", 1920, 1080, true, {P, P}, {"1,2"}},
        {"the setting off", 1920, 1080, false, {P, P}, {"1", "2"}},
        {"landscapes alone on a landscape screen", 1920, 1080, true, {L, L}, {"1", "2"}},
        {"two landscapes stacked on a portrait screen", 1080, 1920, true, {L, L}, {"1,2"}},
        {"portraits alone on a portrait screen", 1080, 1920, true, {P, P}, {"1", "2"}},
        {"no pairs on a square screen", 1000, 1000, true, {P, P}, {"1", "2"}},
        {"no pairs before the screen is known", 0, 0, true, {P, P}, {"1", "2"}},
        {"square pictures are no partners", 1920, 1080, true, {P, S, S, S}, {"1", "2", "3", "4"}},
        // Pictures picked while looking are shown next, in their order.
        {"the partner comes on the third pick", 1920, 1080, true, {P, L, L, P, L},
         {"1,4", "2", "3", "5"}},
        {"a partner beyond three picks is too late", 1920, 1080, true, {P, L, L, L, P},
         {"1", "2", "3", "4", "5"}},
        {"a waiting portrait partners the next portrait", 1920, 1080, true, {P, L, L, L, P, P},
         {"1", "2", "3", "4", "5,6"}},
        {"the last picture alone when none follows", 1920, 1080, true, {P, P, P}, {"1,2", "3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Picks picks(c.pictures);
        PairComposer composer;
        std::vector<std::string> slides;
        const bool sideBySide = c.screenWidth > c.screenHeight;
        while (auto picture = composer.next(picks.pick(), c.screenWidth, c.screenHeight, c.pairs, 0))
            slides.push_back(idsOf(*picture, sideBySide));
        EXPECT_EQ(slides, c.slides);
        EXPECT_EQ(picks.picked(), c.pictures.size());
        EXPECT_EQ(composer.waiting(), 0u);
    }
}

TEST(PairComposer, SideBySideHalvesShareTheSmallerHeightWithABlackGap) {
    const auto left = solid(300, 400, 10);
    const auto right = solid(600, 1000, 20);  // scaled to 240 x 400
    const auto pair = composePair(*left, *right, true, 0);
    ASSERT_TRUE(pair);
    // A gap of 400 / 64 = 6.25, rounded to 6 columns.
    EXPECT_EQ(pair->height, 400);
    EXPECT_EQ(pair->width, 300 + 6 + 240);
    for (int y : {0, 200, 399}) {
        EXPECT_EQ(at(*pair, 0, y), 10);
        EXPECT_EQ(at(*pair, 299, y), 10);
        EXPECT_EQ(at(*pair, 300, y), 0);
        EXPECT_EQ(at(*pair, 305, y), 0);
        EXPECT_EQ(at(*pair, 306, y), 20);
        EXPECT_EQ(at(*pair, pair->width - 1, y), 20);
    }
}

TEST(PairComposer, StackedFirstOnTopAndTheLongerEdgeBounded) {
    const auto top = solid(800, 600, 30);
    const auto bottom = solid(800, 400, 40);
    // Unbounded: 800 wide, 600 + 13 + 400 high; bounded to 512 the whole
    // pair scales by about a half.
    const auto full = composePair(*top, *bottom, false, 0);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->width, 800);
    EXPECT_EQ(full->height, 600 + 13 + 400);
    EXPECT_EQ(at(*full, 400, full->height - 1), 30);
    EXPECT_EQ(at(*full, 400, 400 + 6), 0);
    EXPECT_EQ(at(*full, 400, 0), 40);

    const auto bounded = composePair(*top, *bottom, false, 512);
    ASSERT_TRUE(bounded);
    EXPECT_LE(std::max(bounded->width, bounded->height), 512 + 1);
    EXPECT_GE(std::max(bounded->width, bounded->height), 510);
    EXPECT_EQ(at(*bounded, 0, bounded->height - 1), 30);
    EXPECT_EQ(at(*bounded, 0, 0), 40);
}

TEST(PairComposer, AStopWhileLookingShowsThePictureAloneAndKeepsThePicked) {
    constexpr std::pair<int, int> P{30, 40}, L{40, 30};
    Picks picks({P, L});
    PairComposer composer;
    int calls = 0;
    auto stopsAfterTwo = [&]() -> std::unique_ptr<RGBImage> {
        return ++calls > 2 ? nullptr : picks.pick()();
    };
    auto first = composer.next(stopsAfterTwo, 1920, 1080, true, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(idsOf(*first, true), "1");
    EXPECT_EQ(composer.waiting(), 1u);
    auto second = composer.next(stopsAfterTwo, 1920, 1080, true, 0);
    ASSERT_TRUE(second);
    EXPECT_EQ(idsOf(*second, true), "2");
    EXPECT_FALSE(composer.next(stopsAfterTwo, 1920, 1080, true, 0));
}
