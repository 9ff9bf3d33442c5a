#include "settings/settings.h"

#include "platform/gl.h"

#include <algorithm>
#include <iterator>

// Same translation unit and this order: dialogSettings is constructed after
// theSettings and destroyed before it.
Settings theSettings;
std::map<void*, Settings*> dialogSettings;

Settings::Settings() {
    setDefaults();
}

Settings::~Settings() {
    if (dialogWindow) dialogSettings.erase(dialogWindow);
}

void Settings::setDefaults() {
    scandirChunkSize = 666;
    multimon = false;
    pairs = true;
    texDim = 0;
    secondsPerImage.store(17.0f, std::memory_order_relaxed);
    secondsPerImageSigma = 1.0f;
    fadeMean = 3.0f;
    fadeSigma = 0.1f;
    x0Mean = 0.0f;
    y0Mean = 0.0f;
    z0Mean = -0.8f;
    x0Sigma = 0.2f;
    y0Sigma = 0.15f;
    z0Sigma = 0.03f;
    x1Mean = 0.0f;
    y1Mean = 0.0f;
    z1Mean = -1.0f;
    x1Sigma = 0.01f;
    y1Sigma = 0.01f;
    z1Sigma = 0.01f;
}

void Settings::queryMaxTextureSize() {
    // Stays 0 if the query fails, e.g. without a current context.
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    maxTextureSize = size;
}

std::int32_t Settings::textureLimit() const {
    // An index no table entry belongs to (only a hand-edited registry makes
    // one) means the driver's maximum, like 0.
    const bool chosen = texDim > 0 && texDim < static_cast<std::int32_t>(std::size(textureSizeChoices));
    if (chosen) return textureSizeChoices[texDim];
    return std::min(maxTextureSize, largestTextureEdge);
}
