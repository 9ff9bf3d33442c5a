#pragma once
#include <cstddef>

// Checks a HEIF file's structure before libheif decodes it, refusing what
// the libheif and libde265 revisions of the Windows build would mishandle:
//   - an item with more than one rotation, mirror or crop;
//   - a picture whose decode would touch more than kMaxHeifDecodes coded
//     pictures (grid references and derived chains, each reference
//     counted), nest derivations deeper than an identity over a grid, or
//     decode more pixels in all than two of the largest pictures;
//   - a grid whose tiles differ in size or do not cover its canvas;
//   - grid or overlay inputs whose alpha differs in size or bit depth from
//     their colour;
//   - a coded item holding more than eight pictures, or coding a size
//     other than the one it declares.
// True when none of these applies (or there is no item structure to
// check: libheif then refuses the file itself).
bool heifStructureAcceptable(const unsigned char* data, std::size_t size);

constexpr int kMaxHeifDecodes = 1024;
