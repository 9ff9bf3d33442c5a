// The look does not change: a slide at its nearest approach, drawn from a
// texture sized for the monitor (from a JPEG decoded at a reduced scale),
// against the same slide drawn from the full-size texture of old.
#include "images/jpeg_decoder.h"
#include "settings/settings.h"
#include "slides/slide.h"
#include "slides/slide_reach.h"
#include "slides/texture_pool.h"
#include "support/settings_guard.h"

#include "gl_fixture.h"

#include <turbojpeg.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kViewWidth = 320;
constexpr int kViewHeight = 240;
// Today's texture for this picture: the limit of a 2048 texDim.
constexpr int kFullLimit = 2048;

// A 1600x1200 photograph stand-in with detail at every scale: gradients,
// rings and a fine pattern that a too-small texture would blur away.
std::string detailedJpeg() {
    constexpr int w = 1600, h = 1200;
    std::vector<unsigned char> rgb(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double r = std::hypot(x - 700.0, y - 500.0);
            unsigned char* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
            p[0] = static_cast<unsigned char>(128 + 100 * std::sin(r * 0.08));
            p[1] = static_cast<unsigned char>(x * 255 / w);
            // A period of 14 pixels: about 4 on screen, which a texture of
            // half the size needed would wash out.
            p[2] = static_cast<unsigned char>(128 + 110 * std::sin(x * 0.45) * std::sin(y * 0.45));
        }
    tjhandle handle = tjInitCompress();
    unsigned char* data = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, rgb.data(), w, 0, h, TJPF_RGB, &data, &size, TJSAMP_444, 92, 0);
    std::string file(reinterpret_cast<const char*>(data), size);
    tjFree(data);
    tjDestroy(handle);
    return file;
}

class NearestApproachLook : public GLTest<kViewWidth, kViewHeight> {
protected:
    // The slide at the centre at `depth`, read back as RGB.
    static std::vector<unsigned char> drawAt(const SlideTexture& texture, double depth) {
        glViewport(0, 0, kViewWidth, kViewHeight);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glFrustum(-0.25, 0.25, -0.25, 0.25, 0.25, 2.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glColor4f(1, 1, 1, 1);
        glTranslatef(0.0f, 0.0f, static_cast<float>(-depth));
        texture.drawQuad();
        glFinish();
        std::vector<unsigned char> pixels(static_cast<std::size_t>(kViewWidth) * kViewHeight * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kViewWidth, kViewHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    static double meanDifference(const std::vector<unsigned char>& a,
                                 const std::vector<unsigned char>& b) {
        double sum = 0;
        for (std::size_t i = 0; i < a.size(); ++i) sum += std::abs(a[i] - b[i]);
        return sum / static_cast<double>(a.size());
    }

    SettingsGuard guard_;
};

struct LookCase {
    const char* name;
    double needShare;  // of the need the display computes
    bool alike;
};

TEST_F(NearestApproachLook, SizedTextureLooksLikeTheFullSizeOne) {
    theSettings.setDefaults();
    const std::string file = detailedJpeg();
    const auto* data = reinterpret_cast<const unsigned char*>(file.data());
    const double depth = nearestApproach(theSettings);

    TexturePool fullPool(kFullLimit, kFullLimit);
    SlideTexture full;
    full.upload(decodeJpeg(data, file.size()), fullPool);
    ASSERT_TRUE(full.valid());
    const auto reference = drawAt(full, depth);

    const DisplayReach reach = displayReach(kViewWidth, kViewHeight, kFullLimit, theSettings);
    // What the display computes for this small window: textures of 512x256.
    ASSERT_EQ(reach.extent, (TextureExtent{512, 256}));
    // Half the need stands for a sizing fault: the comparison must see it.
    const LookCase cases[] = {{"as computed", 1.0, true}, {"half of it", 0.5, false}};
    for (const LookCase& c : cases) {
        const PictureNeed box{static_cast<int>(reach.box.width * c.needShare),
                              static_cast<int>(reach.box.height * c.needShare)};
        TexturePool pool(reach.extent.width, reach.extent.height);
        SlideTexture sized;
        auto picture = decodeJpegFor(data, file.size(), needWithin(box, {kFullLimit, kFullLimit}));
        ASSERT_TRUE(picture);
        // Decoded at a reduced scale, never below what is shown.
        EXPECT_LT(picture->width, 1600) << c.name;
        ASSERT_TRUE(sized.prepare(std::move(picture), pool, box));
        sized.uploadPrepared();
        ASSERT_TRUE(sized.valid());
        const double difference = meanDifference(drawAt(sized, depth), reference);
        if (c.alike)
            EXPECT_LT(difference, 2.0) << c.name;
        else
            EXPECT_GT(difference, 4.0) << c.name;
    }
}

}  // namespace
