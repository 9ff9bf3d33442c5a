#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Glimmora.scr as the platform's display settings see it: loaded for its
// resources only, never run.
class SaverResources : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExA(GLIMMORA_SCR_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr) << GLIMMORA_SCR_PATH;
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }

    std::string resourceBytes(LPCSTR name, LPCSTR type) {
        HRSRC info = FindResourceA(module_, name, type);
        if (!info) return {};
        HGLOBAL data = LoadResource(module_, info);
        const char* p = static_cast<const char*>(LockResource(data));
        return p ? std::string(p, SizeofResource(module_, info)) : std::string{};
    }

    HMODULE module_ = nullptr;
};

TEST_F(SaverResources, DisplayNameIsStringOne) {
    char text[64] = {};
    ASSERT_GT(LoadStringA(module_, 1, text, sizeof text), 0);
    EXPECT_STREQ(text, "Glimmora");
}

TEST_F(SaverResources, IconGroupHoldsSixteenColourImagesOfBothSizes) {
    std::string group = resourceBytes(MAKEINTRESOURCEA(7002), MAKEINTRESOURCEA(14));
    ASSERT_GE(group.size(), 6u);
    const auto* bytes = reinterpret_cast<const unsigned char*>(group.data());
    int count = bytes[4] | bytes[5] << 8;
    ASSERT_EQ(group.size(), 6u + 14u * count);
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i) {
        const unsigned char* entry = bytes + 6 + 14 * i;
        EXPECT_EQ(entry[0], entry[1]) << "square";
        EXPECT_EQ(entry[2], 16) << "16 colours";
        sizes.push_back(entry[0]);
        int id = entry[12] | entry[13] << 8;
        std::string image = resourceBytes(MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(3));
        EXPECT_EQ(static_cast<int>(image.size()), entry[8] | entry[9] << 8) << "image " << id;
    }
    EXPECT_EQ(sizes, (std::vector<int>{32, 16}));
    // The system can make icons of them, as the window class does.
    for (int size : {16, 32}) {
        HICON icon = static_cast<HICON>(
            LoadImageA(module_, MAKEINTRESOURCEA(7002), IMAGE_ICON, size, size, 0));
        EXPECT_NE(icon, nullptr) << size;
        if (icon) DestroyIcon(icon);
    }
}

TEST_F(SaverResources, VersionRecordDescribesTheSaver) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(GLIMMORA_SCR_PATH, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(GLIMMORA_SCR_PATH, 0, size, info.data()));
    char* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\FileDescription",
                               reinterpret_cast<void**>(&value), &length));
    EXPECT_STREQ(value, "Glimmora");
    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_NE(fixed->dwFileVersionMS, 0u);
}

TEST_F(SaverResources, ManifestAsksForPerMonitorDpiCommonControlsAndUtf8) {
    std::string manifest = resourceBytes(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_FALSE(manifest.empty());
    for (const char* needle :
         {"PerMonitorV2", "true/pm", "Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
          ">UTF-8</activeCodePage>", "processorArchitecture=\"amd64\""})
        EXPECT_NE(manifest.find(needle), std::string::npos) << needle;
}

}  // namespace
