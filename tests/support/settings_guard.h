#pragma once
#include "settings/settings.h"

// Restores the slideshow's settings when it goes, and offers a fixed path:
// every draw lands on its mean, so tests know each slide's motion.
class SettingsGuard {
public:
    SettingsGuard() = default;
    ~SettingsGuard() {
        Settings& s = theSettings;
        s.secondsPerImage.store(secondsPerImage_);
        s.secondsPerImageSigma = saved_[0], s.fadeMean = saved_[1], s.fadeSigma = saved_[2];
        s.x0Mean = saved_[3], s.y0Mean = saved_[4], s.z0Mean = saved_[5];
        s.x1Mean = saved_[6], s.y1Mean = saved_[7], s.z1Mean = saved_[8];
        s.x0Sigma = saved_[9], s.y0Sigma = saved_[10], s.z0Sigma = saved_[11];
        s.x1Sigma = saved_[12], s.y1Sigma = saved_[13], s.z1Sigma = saved_[14];
        s.texDim = texDim_;
    }
    SettingsGuard(const SettingsGuard&) = delete;
    SettingsGuard& operator=(const SettingsGuard&) = delete;

    // Slides at the unit plane, facing the eye, moving +x forwards; each
    // lasts `seconds`, fades last `fade`; textures of 256 texels.
    static void fixSlideshow(float seconds, float fade) {
        Settings& s = theSettings;
        s.x0Mean = 0.0f, s.y0Mean = 0.0f, s.z0Mean = -1.0f;
        s.x1Mean = 0.01f, s.y1Mean = 0.0f, s.z1Mean = -1.0f;
        s.x0Sigma = s.y0Sigma = s.z0Sigma = s.x1Sigma = s.y1Sigma = s.z1Sigma = 0.0f;
        s.secondsPerImage.store(seconds);
        s.secondsPerImageSigma = 0.0f;
        s.fadeMean = fade;
        s.fadeSigma = 0.0f;
        s.texDim = 4;
    }

private:
    const Settings& s_ = theSettings;
    const float secondsPerImage_ = s_.secondsPerImage.load();
    const float saved_[15] = {s_.secondsPerImageSigma, s_.fadeMean, s_.fadeSigma,
                              s_.x0Mean, s_.y0Mean, s_.z0Mean, s_.x1Mean, s_.y1Mean, s_.z1Mean,
                              s_.x0Sigma, s_.y0Sigma, s_.z0Sigma, s_.x1Sigma, s_.y1Sigma,
                              s_.z1Sigma};
    const std::int32_t texDim_ = s_.texDim;
};
