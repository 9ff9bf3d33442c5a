#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Texture edge lengths offered for `texDim`; 0 means the driver's maximum.
inline constexpr std::int32_t textureSizeChoices[5] = {0, 2048, 1024, 512, 256};

// The saver's whole configuration, kept under HKEY_CURRENT_USER in
// "Software\Glimmora". One instance, `theSettings`, lives for the process.
// It has no lock: everything but `secondsPerImage` is written on the main
// thread only, before loader threads start or after they have stopped.
class Settings {
public:
    // The registry key, relative to HKEY_CURRENT_USER.
    static constexpr const char* registryKey = "Software\\Glimmora";
    // Neither the driver nor the texture code is trusted with edges beyond
    // this, whatever GL_MAX_TEXTURE_SIZE claims.
    static constexpr std::int32_t largestTextureEdge = 4096;

    // Starts with the defaults, an empty list and no dialog.
    Settings();
    // Unbinds a dialog that is still bound to this record.
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // Every stored field but the directory list back to its default.
    void setDefaults();
    // Defaults, then whatever the registry holds; directories are appended.
    void load();
    // Writes every stored field. False when the key could not be opened or
    // a value could not be written; nothing is ever reported to the user.
    bool save();
    // Needs a current OpenGL context.
    void queryMaxTextureSize();
    // The largest texture edge to use: the chosen size, or the driver's
    // maximum (capped at largestTextureEdge) for "Driver Maximum".
    std::int32_t textureLimit() const;

#ifdef _WIN32
    // Runs the modal configuration dialog on this record, owned by `parent`
    // (an HWND, may be null): 1 after OK, 2 after Cancel, -1 when the dialog
    // cannot be created or OK could not store the settings.
    int showDialog(void* parent);
#endif

    std::vector<std::string> directories;
    std::int32_t scandirChunkSize;
    bool multimon;
    // A portrait picture on a landscape monitor shares its slide with a
    // second one, side by side; on a portrait monitor two landscape
    // pictures are stacked.
    bool pairs;
    std::int32_t maxTextureSize = 0;
    // Raised in memory by the frame loop while loader threads read it;
    // relaxed loads and stores are enough.
    std::atomic<float> secondsPerImage;
    float secondsPerImageSigma;
    float fadeMean;
    float fadeSigma;
    float x0Mean;
    float y0Mean;
    float z0Mean;
    float x0Sigma;
    float y0Sigma;
    float z0Sigma;
    float x1Mean;
    float y1Mean;
    float z1Mean;
    float x1Sigma;
    float y1Sigma;
    float z1Sigma;
    void* dialogWindow = nullptr;  // HWND of the open configuration dialog
    std::int32_t texDim;           // index into textureSizeChoices
};

extern Settings theSettings;

// The record each open configuration dialog (by HWND) edits, so that one
// static dialog procedure serves any record. Used on the main thread only.
// Defined after theSettings, so it is destroyed before it.
extern std::map<void*, Settings*> dialogSettings;
