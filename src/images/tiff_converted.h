#pragma once
#include <tiffio.h>

#include <memory>

#include "images/rgb_image.h"

// Decodes an open TIFF whose colour space the row reader does not read as
// stored (CMYK, CIE L*a*b*, YCbCr stored without JPEG, LogLuv) through
// libtiff's own conversion to RGBA, a band of rows at a time; alpha comes
// out over black. Null, after a message naming `path`, when libtiff cannot
// convert it either. Internal to the TIFF reader.
std::unique_ptr<RGBImage> loadConvertedTiff(TIFF* tif, const char* path);
