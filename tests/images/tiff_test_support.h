#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "images/tiff_reader.h"
#include "support/temp_dir.h"
#include "tiff_fixtures.h"

// A folder for written fixtures, and the shortcuts every TIFF test uses.
class TiffTest : public ::testing::Test {
protected:
    // Writes the fixture as `name` and returns its path; fails the test when
    // libtiff refuses to write it.
    std::string write(const std::string& name, const TiffFixture& fixture,
                      const std::vector<unsigned char>& samples) {
        const std::string path = dir.file(name);
        EXPECT_TRUE(writeTiff(path, fixture, samples)) << name;
        return path;
    }

    std::unique_ptr<RGBImage> load(const TiffFixture& fixture,
                                   const std::vector<unsigned char>& samples) {
        return loadTiff(write("picture.tif", fixture, samples).c_str());
    }

    // The whole pixel buffer, bottom row first.
    static std::vector<unsigned char> pixels(const RGBImage& image) {
        return {image.pixels, image.pixels + std::size_t(image.width) * image.height * 3};
    }

    TempDir dir;
};
