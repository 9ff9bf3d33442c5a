#pragma once
#include <cstddef>

#include "images/image_orientation.h"

// The Orientation tag of the first EXIF block of a JPEG file. A file
// without one, or with one that is damaged, of the wrong type or out of
// range, is upright.
Orientation jpegExifOrientation(const unsigned char* data, std::size_t size);

// The same from the eXIf chunk of a PNG file, which holds the TIFF
// structure alone (some writers put the JPEG block's "Exif" prefix first).
Orientation pngExifOrientation(const unsigned char* data, std::size_t size);

// The Orientation tag of an EXIF block on its own (the TIFF structure, with
// or without the "Exif" prefix that JPEG files carry), as WebP files hold
// it. Upright on the same terms as above.
Orientation exifBlockOrientation(const unsigned char* data, std::size_t size);
