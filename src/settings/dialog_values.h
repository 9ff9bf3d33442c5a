// How the configuration dialog's controls show the settings: the seconds
// slider's positions, the label's text and the texture choices' texts.
#pragma once
#include <cstdint>
#include <string>

// Slider positions 0..550 stand for 5.0..60.0 seconds in tenths.
inline constexpr int kSecondsSliderLast = 550;

// The seconds a slider position stands for; position 120 gives exactly 17.
float secondsAtPosition(int position);
// The nearest position for `seconds`, clamped to the slider's ends. A value
// that is not a number (only a hand-edited registry holds one) sits where
// the default 17 seconds would.
int positionForSeconds(float seconds);
// The seconds label: the value itself with "%g", so 17 shows as "17".
std::string secondsText(float seconds);
// "Driver Maximum" for the driver's limit, else "2048x2048" and so on.
std::string textureChoiceText(std::int32_t edgeLength);
