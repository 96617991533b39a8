// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>

#include "pdf/Bitmap.h"

namespace halvik {

// Decodes a baseline or progressive JPEG (grey, RGB or YCbCr) with libjpeg into a 24-bit
// bitmap (blue, green, red; unpadded rows). Throws std::runtime_error with libjpeg's message
// when the data is not a JPEG it can read; never reads past `size` bytes.
Bitmap decodeJpeg(const std::uint8_t* data, std::size_t size);

// A copy of a 24-bit bitmap as a QImage; an empty image for any other layout.
QImage toQImage(const Bitmap& picture);

// Halvik's logo (397 x 376) from the program's resources, decoded with libjpeg.
const Bitmap& logoPicture();

// Makes the logo's resource (":/halvik/logo.jpg") readable; logoPicture does it itself, a
// window icon read straight from the resource needs it first.
void registerLogoResource();

}  // namespace halvik
