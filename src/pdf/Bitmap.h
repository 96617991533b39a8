// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace halvik {

// One palette entry of an indexed bitmap.
struct BitmapColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    friend bool operator==(const BitmapColor&, const BitmapColor&) = default;
};

// The program's picture: a plain raster that the window fills from Qt images and the decoded
// JPEG logo, and that the PDF writer turns into image objects. No toolkit types.
//
// Rows run from the top row down; each row starts `stride` bytes after the previous one (rows
// may carry padding, as QImage rows do). Pixel layouts by bitsPerPixel:
//   1   palette index per bit, most significant bit is the leftmost pixel
//   4   palette index per nibble, high nibble is the left pixel
//   8   palette index per byte
//   15  16-bit little-endian words, x-R5-G5-B5 (blue in the low bits)
//   16  16-bit little-endian words, R5-G6-B5 (blue in the low bits)
//   24  blue, green, red
//   32  blue, green, red, unused (the byte order of a little-endian 0xXXRRGGBB word)
// The palette (1, 4 and 8 bits) holds at most 256 entries; indexes beyond it read as black.
//
// Filling one: QImage::Format_RGB32 and Format_ARGB32 rows copy as 32 bits per pixel, and
// Format_BGR888 rows as 24 (Format_RGB888 is red first and needs its bytes swapped); QImage rows
// are padded to 4 bytes, so copy bytesPerLine() into stride. libjpeg-turbo decodes straight to
// these layouts with out_color_space JCS_EXT_BGR (24) or JCS_EXT_BGRX (32).
struct Bitmap {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 24;
    std::size_t stride = 0;  // bytes from one row to the next
    std::vector<std::uint8_t> pixels;
    std::vector<BitmapColor> palette;

    // A zero-filled bitmap with unpadded rows.
    static Bitmap Create(int width, int height, int bitsPerPixel);

    // Bytes a row needs without padding: (width * bitsPerPixel + 7) / 8; 15 counts as 16.
    static std::size_t MinimumStride(int width, int bitsPerPixel);

    bool IsEmpty() const { return width <= 0 || height <= 0; }

    // True when bitsPerPixel is one of the seven layouts, the size is not negative and the
    // pixel buffer holds every row at the given stride.
    bool IsValid() const;

    std::uint8_t* Row(int y) { return pixels.data() + static_cast<std::size_t>(y) * stride; }
    const std::uint8_t* Row(int y) const {
        return pixels.data() + static_cast<std::size_t>(y) * stride;
    }

    friend bool operator==(const Bitmap&, const Bitmap&) = default;
};

}  // namespace halvik
