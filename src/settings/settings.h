#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// Texture edge lengths offered for `texDim`; 0 means the driver's maximum.
inline constexpr std::int32_t textureSizeChoices[5] = {0, 2048, 1024, 512, 256};

// The saver's whole configuration, kept under HKEY_CURRENT_USER in
// "Software\Glimmora". One instance, `theSettings`, lives for the process.
class Settings {
public:
    Settings();
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    void setDefaults();
    void load();
    void save();
    // Needs a current OpenGL context.
    void queryMaxTextureSize();
    std::int32_t textureLimit() const;

    std::vector<std::string> directories;
    std::int32_t scandirChunkSize = 666;
    bool multimon = false;
    std::int32_t maxTextureSize = 0;
    // Raised in memory by the frame loop while loader threads read it.
    std::atomic<float> secondsPerImage{17.0f};
    float secondsPerImageSigma = 1.0f;
    float fadeMean = 3.0f;
    float fadeSigma = 0.1f;
    float x0Mean = 0.0f;
    float y0Mean = 0.0f;
    float z0Mean = -0.8f;
    float x0Sigma = 0.2f;
    float y0Sigma = 0.15f;
    float z0Sigma = 0.03f;
    float x1Mean = 0.0f;
    float y1Mean = 0.0f;
    float z1Mean = -1.0f;
    float x1Sigma = 0.01f;
    float y1Sigma = 0.01f;
    float z1Sigma = 0.01f;
    void* dialogWindow = nullptr;  // HWND of the open configuration dialog
    std::int32_t texDim = 0;
};

extern Settings theSettings;
