// JPEG files whose scans would take far more work than their pictures.
#include <gtest/gtest.h>

#include <string>

#include "images/decode_test_util.h"
#include "images/image_fixtures.h"
#include "images/jpeg_decoder.h"
#include "images/jpeg_scan_budget.h"

namespace {

// `jpeg` with the scan that starts at `from` (its header, up to the next
// scan's tables or the end of the image) repeated `times` more times.
std::string withScanRepeated(const std::string& jpeg, std::size_t from, int times) {
    std::size_t end = jpeg.find("\xFF\xC4", from + 2);
    const std::size_t nextScan = jpeg.find("\xFF\xDA", from + 2);
    end = std::min({end, nextScan, jpeg.size() - 2});
    const std::string scan = jpeg.substr(from, end - from);
    std::string out = jpeg.substr(0, end);
    for (int i = 0; i < times; ++i) out += scan;
    return out + jpeg.substr(end);
}

}  // namespace

TEST(JpegScanBudget, RepeatedScansAreRefusedBeforeDecoding) {
    const std::string progressive = jpegFile(testPicture(64, 48), JpegKind::progressive);
    const std::size_t firstScan = progressive.find("\xFF\xDA");
    const std::size_t lastScan = progressive.rfind("\xFF\xDA");
    ASSERT_NE(firstScan, lastScan);
    struct Row {
        const char* name;
        std::string file;
        bool shown;
    };
    const Row table[] = {
        {"progressive as written", progressive, true},
        {"baseline", jpegFile(testPicture(64, 48), JpegKind::baseline), true},
        // A few repeats cost little more than the picture itself.
        {"last refinement ten times more", withScanRepeated(progressive, lastScan, 10), true},
        {"last refinement 60 times more", withScanRepeated(progressive, lastScan, 60), false},
        {"last refinement 499 times more", withScanRepeated(progressive, lastScan, 499), false},
        // Fewer scans, but each over every block of the frame.
        {"first scan 20 times more", withScanRepeated(progressive, firstScan, 20), false},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        const auto* data = reinterpret_cast<const unsigned char*>(row.file.data());
        EXPECT_EQ(jpegScanWorkAcceptable(data, row.file.size()), row.shown);
        auto image = decodeJpeg(data, row.file.size());
        EXPECT_EQ(image != nullptr, row.shown);
    }
}

TEST(JpegScanBudget, DamagedMarkersNeverRefuseByThemselves) {
    const std::string progressive = jpegFile(testPicture(64, 48), JpegKind::progressive);
    for (std::size_t keep = 0; keep < progressive.size(); ++keep)
        EXPECT_TRUE(jpegScanWorkAcceptable(reinterpret_cast<const unsigned char*>(progressive.data()), keep))
            << "cut to " << keep;
}
