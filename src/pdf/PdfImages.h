// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Bitmaps turned into image XObjects: DeviceRGB or an indexed DeviceRGB palette, 8 bits per
// component, uncompressed.

#include <memory>
#include <string_view>

#include "pdf/Bitmap.h"
#include "pdf/PdfObjects.h"

namespace halvik {

class EPdfInvalidImageFormat : public EPdfError {
  public:
    using EPdfError::EPdfError;
};

class TPdfImageCreator {
  public:
    virtual ~TPdfImageCreator() = default;
    // A new image, or null (the base class makes none).
    virtual std::unique_ptr<TPdfImage> CreateImage(const Bitmap& AImage);
};

class TPdfBitmapImage final : public TPdfImageCreator {
  public:
    // 1, 4 and 8 bits per pixel become the indexed form, every other layout DeviceRGB.
    // A bitmap whose size, layout or buffer does not add up fails with EPdfInvalidImageFormat;
    // an indexed bitmap without a palette fails with "failed to get Palette..".
    // The rows are converted before this returns.
    std::unique_ptr<TPdfImage> CreateImage(const Bitmap& AImage) override;
    // The same image holding on to the shared bitmap, whose rows are converted only when the
    // image is written: straight into the output, with no copy in between.
    std::unique_ptr<TPdfImage> CreateSharedImage(std::shared_ptr<const Bitmap> AImage);
};

// The image made by the creator registered under ACreatorName ("Pdf-Bitmap"); an unknown name
// fails with EPdfError "Class %s not found".
std::unique_ptr<TPdfImage> MakeImage(const Bitmap& AImage, std::string_view ACreatorName);
// The same for a shared bitmap (CreateSharedImage).
std::unique_ptr<TPdfImage> MakeImage(std::shared_ptr<const Bitmap> AImage,
                                     std::string_view ACreatorName);

}  // namespace halvik
