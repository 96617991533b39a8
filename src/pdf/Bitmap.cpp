// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/Bitmap.h"

namespace halvik {

std::size_t Bitmap::MinimumStride(int width, int bitsPerPixel) {
    if (width <= 0)
        return 0;
    const std::size_t bits = bitsPerPixel == 15 ? 16 : static_cast<std::size_t>(bitsPerPixel);
    return (static_cast<std::size_t>(width) * bits + 7) / 8;
}

Bitmap Bitmap::Create(int width, int height, int bitsPerPixel) {
    Bitmap bitmap;
    bitmap.width = width < 0 ? 0 : width;
    bitmap.height = height < 0 ? 0 : height;
    bitmap.bitsPerPixel = bitsPerPixel;
    bitmap.stride = MinimumStride(bitmap.width, bitsPerPixel);
    bitmap.pixels.assign(bitmap.stride * static_cast<std::size_t>(bitmap.height), 0);
    return bitmap;
}

bool Bitmap::IsValid() const {
    switch (bitsPerPixel) {
        case 1:
        case 4:
        case 8:
        case 15:
        case 16:
        case 24:
        case 32:
            break;
        default:
            return false;
    }
    if (width < 0 || height < 0)
        return false;
    if (width == 0 || height == 0)
        return true;
    const std::size_t minimum = MinimumStride(width, bitsPerPixel);
    if (stride < minimum)
        return false;
    // Every row must be there; the last one needs only its pixels, not the padding.
    const std::size_t rows = static_cast<std::size_t>(height);
    if ((rows - 1) > (SIZE_MAX - minimum) / stride)
        return false;
    return pixels.size() >= (rows - 1) * stride + minimum && palette.size() <= 256;
}

}  // namespace halvik
