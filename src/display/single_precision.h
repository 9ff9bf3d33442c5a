#pragma once

// Rounds to single precision for certain. GCC 12's SLP vectoriser can drop
// the rounding of a double -> float -> double round trip at -O2 and above,
// which would let values that must be 32-bit floats keep double precision.
// Going through a volatile float forces the store and so the rounding.
inline float singlePrecision(double value) {
    volatile float rounded = static_cast<float>(value);
    return rounded;
}
