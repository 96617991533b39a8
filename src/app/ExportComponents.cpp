// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ExportComponents.h"

#include <QPrinter>
#include <cstring>

#include "app/Distributor.h"

namespace halvik {

Bitmap toReportBitmap(const QImage& picture) {
    if (picture.isNull()) {
        return {};
    }
    // Blue, green, red, unused in memory: the 32-bit layout of the report bitmaps.
    const QImage rgb = picture.format() == QImage::Format_RGB32
                           ? picture
                           : picture.convertToFormat(QImage::Format_RGB32);
    Bitmap bitmap;
    bitmap.width = rgb.width();
    bitmap.height = rgb.height();
    bitmap.bitsPerPixel = 32;
    bitmap.stride = static_cast<std::size_t>(rgb.bytesPerLine());
    bitmap.pixels.resize(bitmap.stride * static_cast<std::size_t>(bitmap.height));
    std::memcpy(bitmap.pixels.data(), rgb.constBits(), bitmap.pixels.size());
    return bitmap;
}

ExportComponents::ExportComponents(QWidget* window)
    : RpPage1(kDistributorWebAddress),
      RpPage2(kDistributorWebAddress),
      RpReport1(CreateRpReport1()),
      RpReport2(CreateRpReport2()),
      printer(std::make_unique<QPrinter>(QPrinter::HighResolution)),
      systemDialogs_(window) {}

ExportComponents::~ExportComponents() = default;

}  // namespace halvik
