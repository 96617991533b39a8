// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/PdfImages.h"

#include <cstdint>
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
// Five pixels per unaligned shuffle; each 16-byte store also writes the first byte of the next
// pixel, which the next step overwrites, so it runs only while a sixth pixel follows. Used for
// the ends of a run that the aligned loop below does not cover.
__attribute__((target("ssse3"))) int BgrToRgbFives(const std::uint8_t*& src, std::uint8_t*& dst,
                                                   int count) {
    const __m128i swap = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    int done = 0;
    for (; done + 6 <= count; done += 5) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_shuffle_epi8(v, swap));
        src += 15;
        dst += 15;
    }
    return done;
}

// Sixteen pixels (48 bytes) per round: three loads, four shuffles of four pixels each, three
// stores that do not overlap.
__attribute__((target("ssse3"))) void BgrToRgbSsse3(const std::uint8_t* src, std::uint8_t* dst,
                                                    int count) {
    const __m128i swap = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, -1, -1, -1, -1);
    int x = 0;
    // Stores that cross no 16-byte boundary are much cheaper: the few pixels before the first
    // aligned address go first (five at a time while that fits).
    const int lead =
        static_cast<int>(((16 - (reinterpret_cast<std::uintptr_t>(dst) & 15)) * 11) & 15);
    if (lead <= count) {
        x = BgrToRgbFives(src, dst, lead);
        BgrToRgbScalar(src, dst, lead - x);
        src += 3 * (lead - x);
        dst += 3 * (lead - x);
        x = lead;
    }
    for (; x + 16 <= count; x += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 32));
        const __m128i p0 = _mm_shuffle_epi8(a, swap);
        const __m128i p1 = _mm_shuffle_epi8(_mm_alignr_epi8(b, a, 12), swap);
        const __m128i p2 = _mm_shuffle_epi8(_mm_alignr_epi8(c, b, 8), swap);
        const __m128i p3 = _mm_shuffle_epi8(_mm_srli_si128(c, 4), swap);
        _mm_store_si128(reinterpret_cast<__m128i*>(dst), _mm_or_si128(p0, _mm_slli_si128(p1, 12)));
        _mm_store_si128(reinterpret_cast<__m128i*>(dst + 16),
                        _mm_or_si128(_mm_srli_si128(p1, 4), _mm_slli_si128(p2, 8)));
        _mm_store_si128(reinterpret_cast<__m128i*>(dst + 32),
                        _mm_or_si128(_mm_srli_si128(p2, 8), _mm_slli_si128(p3, 4)));
        src += 48;
        dst += 48;
    }
    x += BgrToRgbFives(src, dst, count - x);
    BgrToRgbScalar(src, dst, count - x);
}

// Sixteen pixels (64 bytes in, 48 out) per round; the fourth byte of each pixel is dropped.
__attribute__((target("ssse3"))) void BgrxToRgbSsse3(const std::uint8_t* src, std::uint8_t* dst,
                                                     int count) {
    const __m128i swap = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    int x = 0;
    // Stores that cross no 16-byte boundary are much cheaper: a few pixels one by one first.
    while (x < count && (reinterpret_cast<std::uintptr_t>(dst) & 15) != 0) {
        BgrxToRgbScalar(src, dst, 1);
        src += 4;
        dst += 3;
        ++x;
    }
    for (; x + 16 <= count; x += 16) {
        const __m128i p0 =
            _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src)), swap);
        const __m128i p1 =
            _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16)), swap);
        const __m128i p2 =
            _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 32)), swap);
        const __m128i p3 =
            _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 48)), swap);
        _mm_store_si128(reinterpret_cast<__m128i*>(dst), _mm_or_si128(p0, _mm_slli_si128(p1, 12)));
        _mm_store_si128(reinterpret_cast<__m128i*>(dst + 16),
                        _mm_or_si128(_mm_srli_si128(p1, 4), _mm_slli_si128(p2, 8)));
        _mm_store_si128(reinterpret_cast<__m128i*>(dst + 32),
                        _mm_or_si128(_mm_srli_si128(p2, 8), _mm_slli_si128(p3, 4)));
        src += 64;
        dst += 48;
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

// The rows of a bitmap as image data: RGB triples, or palette indexes for the indexed form.
class BitmapRows final : public TPdfStreamSource {
  public:
    explicit BitmapRows(std::shared_ptr<const Bitmap> bitmap)
        : FBitmap(std::move(bitmap)),
          FIndexed(FBitmap->bitsPerPixel == 1 || FBitmap->bitsPerPixel == 4 ||
                   FBitmap->bitsPerPixel == 8) {}

    std::size_t RowCount() const override { return static_cast<std::size_t>(FBitmap->height); }
    std::size_t RowSize() const override {
        return static_cast<std::size_t>(FBitmap->width) * (FIndexed ? 1 : 3);
    }
    void ProduceRows(std::size_t first, std::size_t count, std::uint8_t* out) const override {
        const Bitmap& b = *FBitmap;
        const std::size_t rowSize = RowSize();
        // Rows without padding are one run of pixels.
        if ((b.bitsPerPixel == 24 || b.bitsPerPixel == 32) &&
            b.stride == static_cast<std::size_t>(b.width) * (b.bitsPerPixel / 8) && count > 1) {
            const std::uint8_t* rows = b.Row(static_cast<int>(first));
            const std::size_t pixels = count * static_cast<std::size_t>(b.width);
            if (pixels <= static_cast<std::size_t>(INT32_MAX)) {
                if (b.bitsPerPixel == 24) {
                    BgrToRgb(rows, out, static_cast<int>(pixels));
                } else {
                    BgrxToRgb(rows, out, static_cast<int>(pixels));
                }
                return;
            }
        }
        for (std::size_t y = first; y < first + count; ++y, out += rowSize) {
            const std::uint8_t* row = b.Row(static_cast<int>(y));
            switch (b.bitsPerPixel) {
                case 24:
                    BgrToRgb(row, out, b.width);
                    break;
                case 32:
                    BgrxToRgb(row, out, b.width);
                    break;
                case 16:
                    Rgb565ToRgb(row, out, b.width);
                    break;
                case 15:
                    Rgb555ToRgb(row, out, b.width);
                    break;
                default:
                    IndexesOfRow(b, static_cast<int>(y), out);
                    break;
            }
        }
    }

  private:
    std::shared_ptr<const Bitmap> FBitmap;
    bool FIndexed;
};

// The image object of a bitmap; its rows are converted when the image is written.
std::unique_ptr<TPdfImage> BuildImage(std::shared_ptr<const Bitmap> bitmap) {
    if (!bitmap || !bitmap->IsValid()) {
        throw EPdfInvalidImageFormat("CreateImage --the bitmap's size, format or data is invalid.");
    }
    auto image = std::make_unique<TPdfImage>(nullptr);
    TPdfDictionary& attributes = image->Attributes();
    attributes.AddNameItem("Type", "XObject");
    attributes.AddNameItem("Subtype", "Image");
    const int bpp = bitmap->bitsPerPixel;
    const int width = bitmap->width;
    const int height = bitmap->height;
    if (bpp == 1 || bpp == 4 || bpp == 8) {
        auto palette = PaletteString(*bitmap);  // fails before anything else is built
        auto colorSpace = std::make_unique<TPdfArray>(nullptr);
        colorSpace->AddItem(std::make_unique<TPdfName>("Indexed"));
        colorSpace->AddItem(std::make_unique<TPdfName>("DeviceRGB"));
        colorSpace->AddItem(std::make_unique<TPdfNumber>(255));
        colorSpace->AddItem(std::move(palette));
        attributes.AddItem("ColorSpace", std::move(colorSpace));
    } else if (height > 0) {
        attributes.AddNameItem("ColorSpace", "DeviceRGB");
    }
    attributes.AddNumberItem("Width", width);
    attributes.AddNumberItem("Height", height);
    attributes.AddNumberItem("BitsPerComponent", 8);
    image->SetSource(std::make_unique<BitmapRows>(std::move(bitmap)));
    return image;
}

}  // namespace

std::unique_ptr<TPdfImage> TPdfBitmapImage::CreateImage(const Bitmap& AImage) {
    // The caller keeps its bitmap: the rows are converted now, before this returns.
    auto image = BuildImage(std::shared_ptr<const Bitmap>(std::shared_ptr<void>(), &AImage));
    (void)image->Stream();
    return image;
}

std::unique_ptr<TPdfImage> TPdfBitmapImage::CreateSharedImage(
    std::shared_ptr<const Bitmap> AImage) {
    return BuildImage(std::move(AImage));
}

namespace {
void CheckCreator(std::string_view ACreatorName) {
    if (ACreatorName != "Pdf-Bitmap") {
        throw EPdfError("Class " + std::string(ACreatorName) + " not found");
    }
}
}  // namespace

std::unique_ptr<TPdfImage> MakeImage(const Bitmap& AImage, std::string_view ACreatorName) {
    CheckCreator(ACreatorName);
    TPdfBitmapImage creator;
    return creator.CreateImage(AImage);
}

std::unique_ptr<TPdfImage> MakeImage(std::shared_ptr<const Bitmap> AImage,
                                     std::string_view ACreatorName) {
    CheckCreator(ACreatorName);
    TPdfBitmapImage creator;
    return creator.CreateSharedImage(std::move(AImage));
}

}  // namespace halvik
