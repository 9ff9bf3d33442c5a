#include "settings/settings.h"

// Placeholder until the registry store lands: defaults only.
Settings theSettings;

Settings::Settings() = default;
Settings::~Settings() = default;
void Settings::setDefaults() {}
void Settings::load() { setDefaults(); }
void Settings::save() {}
void Settings::queryMaxTextureSize() {}
std::int32_t Settings::textureLimit() const {
    return texDim > 0 && texDim < 5 ? textureSizeChoices[texDim] : maxTextureSize;
}
