#include "pdf/PdfImages.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define HALVIK_HAVE_X86 1
#endif

namespace halvik {

std::unique_ptr<TPdfImage> TPdfImageCreator::CreateImage(const Bitmap&) {
    return nullptr;
}

namespace {

// ---- rows to RGB ------------------------------------------------------------------------------

void BgrToRgbScalar(const std::uint8_t* src, std::uint8_t* dst, int count) {
    for (int x = 0; x < count; ++x) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
        src += 3;
        dst += 3;
    }
}

void BgrxToRgbScalar(const std::uint8_t* src, std::uint8_t* dst, int count) {
    for (int x = 0; x < count; ++x) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
        src += 4;
        dst += 3;
    }
}

#ifdef HALVIK_HAVE_X86
// Five pixels per shuffle; each 16-byte store also writes the first byte of the next group,
// which the next store overwrites, so it stops while a sixth pixel is still to come.
__attribute__((target("ssse3"))) void BgrToRgbSsse3(const std::uint8_t* src, std::uint8_t* dst,
                                                    int count) {
    const __m128i shuffle = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    int x = 0;
    for (; x + 6 <= count; x += 5) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_shuffle_epi8(v, shuffle));
        src += 15;
        dst += 15;
    }
    BgrToRgbScalar(src, dst, count - x);
}

// Four pixels in, twelve bytes out; the store's four spare bytes are overwritten likewise.
__attribute__((target("ssse3"))) void BgrxToRgbSsse3(const std::uint8_t* src, std::uint8_t* dst,
                                                     int count) {
    const __m128i shuffle = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    int x = 0;
    for (; x + 6 <= count; x += 4) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_shuffle_epi8(v, shuffle));
        src += 16;
        dst += 12;
    }
    BgrxToRgbScalar(src, dst, count - x);
}

bool HaveSsse3() {
    static const bool have = __builtin_cpu_supports("ssse3");
    return have;
}
#endif

void BgrToRgb(const std::uint8_t* src, std::uint8_t* dst, int count) {
#ifdef HALVIK_HAVE_X86
    if (HaveSsse3())
        return BgrToRgbSsse3(src, dst, count);
#endif
    BgrToRgbScalar(src, dst, count);
}

void BgrxToRgb(const std::uint8_t* src, std::uint8_t* dst, int count) {
#ifdef HALVIK_HAVE_X86
    if (HaveSsse3())
        return BgrxToRgbSsse3(src, dst, count);
#endif
    BgrxToRgbScalar(src, dst, count);
}

inline std::uint8_t Expand5(unsigned v) {
    return static_cast<std::uint8_t>((v << 3) | (v >> 2));
}
inline std::uint8_t Expand6(unsigned v) {
    return static_cast<std::uint8_t>((v << 2) | (v >> 4));
}

void Rgb555ToRgb(const std::uint8_t* src, std::uint8_t* dst, int count) {
    for (int x = 0; x < count; ++x) {
        unsigned w = src[0] | (src[1] << 8);
        dst[0] = Expand5((w >> 10) & 0x1F);
        dst[1] = Expand5((w >> 5) & 0x1F);
        dst[2] = Expand5(w & 0x1F);
        src += 2;
        dst += 3;
    }
}

void Rgb565ToRgb(const std::uint8_t* src, std::uint8_t* dst, int count) {
    for (int x = 0; x < count; ++x) {
        unsigned w = src[0] | (src[1] << 8);
        dst[0] = Expand5((w >> 11) & 0x1F);
        dst[1] = Expand6((w >> 5) & 0x3F);
        dst[2] = Expand5(w & 0x1F);
        src += 2;
        dst += 3;
    }
}

// ---- indexed rows -----------------------------------------------------------------------------

void IndexesOfRow(const Bitmap& bitmap, int y, std::uint8_t* dst) {
    const std::uint8_t* row = bitmap.Row(y);
    const int width = bitmap.width;
    switch (bitmap.bitsPerPixel) {
        case 8:
            std::memcpy(dst, row, static_cast<std::size_t>(width));
            break;
        case 4:
            for (int x = 0; x < width; ++x) {
                const std::uint8_t byte = row[x >> 1];
                dst[x] = (x & 1) ? (byte & 0x0F) : (byte >> 4);
            }
            break;
        case 1:
            for (int x = 0; x < width; ++x)
                dst[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
            break;
    }
}

constexpr char kHex[] = "0123456789ABCDEF";

// "<RRGGBB RRGGBB ... >" of 256 entries; entries the bitmap lacks are black.
std::unique_ptr<TPdfBinary> PaletteString(const Bitmap& bitmap) {
    if (bitmap.bitsPerPixel != 1 && bitmap.bitsPerPixel != 4 && bitmap.bitsPerPixel != 8) {
        throw EPdfInvalidImageFormat("only 8 bit color image is allowed.");
    }
    if (bitmap.palette.empty() || bitmap.palette.size() > 256) {
        throw EPdfInvalidImageFormat("failed to get Palette..");
    }
    auto binary = std::make_unique<TPdfBinary>();
    std::uint8_t* out = binary->Stream().Extend(2 + 256 * 7);
    *out++ = '<';
    for (std::size_t i = 0; i < 256; ++i) {
        const BitmapColor c = i < bitmap.palette.size() ? bitmap.palette[i] : BitmapColor{};
        for (std::uint8_t v : {c.red, c.green, c.blue}) {
            *out++ = kHex[v >> 4];
            *out++ = kHex[v & 0xF];
        }
        *out++ = ' ';
    }
    *out = '>';
    return binary;
}

}  // namespace

std::unique_ptr<TPdfImage> TPdfBitmapImage::CreateImage(const Bitmap& AImage) {
    if (!AImage.IsValid()) {
        throw EPdfInvalidImageFormat("CreateImage --the bitmap's size, format or data is invalid.");
    }
    auto image = std::make_unique<TPdfImage>(nullptr);
    TPdfDictionary& attributes = image->Attributes();
    attributes.AddNameItem("Type", "XObject");
    attributes.AddNameItem("Subtype", "Image");

    const int width = AImage.width;
    const int height = AImage.height;
    const int bpp = AImage.bitsPerPixel;
    TPdfByteBuffer& data = image->Stream();
    if (bpp == 1 || bpp == 4 || bpp == 8) {
        auto palette = PaletteString(AImage);  // fails before any pixel is copied
        data.Reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        for (int y = 0; y < height; ++y) {
            IndexesOfRow(AImage, y, data.Extend(static_cast<std::size_t>(width)));
        }
        auto colorSpace = std::make_unique<TPdfArray>(nullptr);
        colorSpace->AddItem(std::make_unique<TPdfName>("Indexed"));
        colorSpace->AddItem(std::make_unique<TPdfName>("DeviceRGB"));
        colorSpace->AddItem(std::make_unique<TPdfNumber>(255));
        colorSpace->AddItem(std::move(palette));
        attributes.AddItem("ColorSpace", std::move(colorSpace));
    } else {
        const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
        std::uint8_t* out = data.Extend(rowBytes * static_cast<std::size_t>(height));
        for (int y = 0; y < height; ++y, out += rowBytes) {
            const std::uint8_t* row = AImage.Row(y);
            switch (bpp) {
                case 24:
                    BgrToRgb(row, out, width);
                    break;
                case 32:
                    BgrxToRgb(row, out, width);
                    break;
                case 16:
                    Rgb565ToRgb(row, out, width);
                    break;
                case 15:
                    Rgb555ToRgb(row, out, width);
                    break;
            }
        }
        if (height > 0)
            attributes.AddNameItem("ColorSpace", "DeviceRGB");
    }
    attributes.AddNumberItem("Width", width);
    attributes.AddNumberItem("Height", height);
    attributes.AddNumberItem("BitsPerComponent", 8);
    return image;
}

std::unique_ptr<TPdfImage> MakeImage(const Bitmap& AImage, std::string_view ACreatorName) {
    if (ACreatorName != "Pdf-Bitmap") {
        throw EPdfError("Class " + std::string(ACreatorName) + " not found");
    }
    TPdfBitmapImage creator;
    return creator.CreateImage(AImage);
}

}  // namespace halvik
