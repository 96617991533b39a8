// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/PdfImages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <typeinfo>

namespace halvik {
namespace {

std::string Attributes(TPdfImage& image) {
    TPdfMemoryStream s;
    image.WriteValue(s);
    const std::string all = s.ToString();
    return all.substr(0, all.find("\r\nstream\r\n"));
}

std::string Data(const TPdfImage& image) {
    return std::string(image.Stream().View());
}

TEST(PdfImages, TwentyFourBitRowsBecomeRgb) {
    Bitmap bitmap = Bitmap::Create(2, 1, 24);
    const std::uint8_t row[] = {0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00};  // red, blue as B G R
    std::copy(std::begin(row), std::end(row), bitmap.pixels.begin());
    auto image = MakeImage(bitmap, "Pdf-Bitmap");
    EXPECT_EQ(Data(*image), std::string("\xFF\x00\x00\x00\x00\xFF", 6));
    EXPECT_EQ(Attributes(*image),
              "<<\r\n/Length 6\r\n/Filter []\r\n/Type /XObject\r\n/Subtype /Image\r\n"
              "/ColorSpace /DeviceRGB\r\n/Width 2\r\n/Height 1\r\n/BitsPerComponent 8\r\n>>");
}

// A bitmap whose pixel (x, y) has the colour (x * 7 + y, x + y * 5, x ^ y) in every layout that
// can hold it, so the converted rows can be compared with what they must be.
Bitmap Pattern(int width, int height, int bpp, std::size_t stride) {
    Bitmap b;
    b.width = width;
    b.height = height;
    b.bitsPerPixel = bpp;
    b.stride = stride;
    b.pixels.assign(stride * height, 0xEE);  // padding that must not show
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = b.Row(y);
        for (int x = 0; x < width; ++x) {
            const std::uint8_t r = x * 7 + y, g = x + y * 5, bl = x ^ y;
            if (bpp == 24) {
                row[x * 3] = bl, row[x * 3 + 1] = g, row[x * 3 + 2] = r;
            } else if (bpp == 32) {
                row[x * 4] = bl, row[x * 4 + 1] = g, row[x * 4 + 2] = r, row[x * 4 + 3] = 0x55;
            }
        }
    }
    return b;
}

TEST(PdfImages, RowsConvertExactlyWhateverTheirWidthPaddingAndPlace) {
    // Widths around the sizes the fast row converters work in, rows with and without padding,
    // and the output starting at every offset within 16 bytes.
    for (int bpp : {24, 32}) {
        for (int width : {1, 4, 5, 6, 7, 11, 15, 16, 17, 31, 32, 33, 397}) {
            for (std::size_t padding : {0, 5}) {
                const std::size_t stride = Bitmap::MinimumStride(width, bpp) + padding;
                Bitmap bitmap = Pattern(width, 3, bpp, stride);
                // The last row needs no padding.
                bitmap.pixels.resize(stride * 2 + Bitmap::MinimumStride(width, bpp));
                std::string expected;
                for (int y = 0; y < 3; ++y) {
                    for (int x = 0; x < width; ++x) {
                        expected.push_back(static_cast<char>(x * 7 + y));
                        expected.push_back(static_cast<char>(x + y * 5));
                        expected.push_back(static_cast<char>(x ^ y));
                    }
                }
                EXPECT_EQ(Data(*MakeImage(bitmap, "Pdf-Bitmap")), expected)
                    << bpp << " bits, width " << width << ", padding " << padding;
                auto shared = std::make_shared<const Bitmap>(bitmap);
                auto deferred = MakeImage(shared, "Pdf-Bitmap");
                EXPECT_TRUE(deferred->HasSource());
                EXPECT_EQ(deferred->DataSize(), expected.size());
                for (std::size_t offset = 0; offset < 16; ++offset) {
                    TPdfMemoryStream out;
                    out.Write(std::string(offset, '.'));
                    deferred->WriteValue(out);
                    const std::string written = out.ToString();
                    const std::size_t start = written.find("stream\r\n") + 8;
                    EXPECT_EQ(written.substr(start, expected.size()), expected)
                        << bpp << " bits, width " << width << ", padding " << padding << ", offset "
                        << offset;
                }
                EXPECT_EQ(Data(*deferred), expected);  // made on demand, then kept
                EXPECT_FALSE(deferred->HasSource());
            }
        }
    }
}

TEST(PdfImages, SixteenAndFifteenBitPixelsExpandToEightBits) {
    Bitmap b16 = Bitmap::Create(2, 1, 16);
    // R5 G6 B5: pure red, then (1, 2, 3) steps.
    const std::uint16_t p16[] = {0xF800, static_cast<std::uint16_t>((1 << 11) | (2 << 5) | 3)};
    std::memcpy(b16.pixels.data(), p16, 4);
    EXPECT_EQ(Data(*MakeImage(b16, "Pdf-Bitmap")), std::string("\xFF\x00\x00\x08\x08\x18", 6));
    Bitmap b15 = Bitmap::Create(2, 1, 15);
    const std::uint16_t p15[] = {0x001F, 0x7FFF};
    std::memcpy(b15.pixels.data(), p15, 4);
    EXPECT_EQ(Data(*MakeImage(b15, "Pdf-Bitmap")), std::string("\x00\x00\xFF\xFF\xFF\xFF", 6));
}

TEST(PdfImages, PaletteBitmapsBecomeIndexed) {
    Bitmap b1 = Bitmap::Create(10, 2, 1);
    b1.palette = {{0, 0, 0}, {0xFF, 0x80, 0x01}};
    b1.pixels = {0b10100000, 0b01000000, 0xFF, 0xC0};
    auto image = MakeImage(b1, "Pdf-Bitmap");
    EXPECT_EQ(Data(*image), std::string("\x01\x00\x01\x00\x00\x00\x00\x00\x00\x01"
                                        "\x01\x01\x01\x01\x01\x01\x01\x01\x01\x01",
                                        20));
    const std::string attributes = Attributes(*image);
    std::string palette = "<000000 FF8001 ";
    for (int i = 2; i < 256; ++i)
        palette += "000000 ";
    palette += ">";
    EXPECT_EQ(palette.size(), 1794u);
    EXPECT_EQ(attributes,
              "<<\r\n/Length 20\r\n/Filter []\r\n/Type /XObject\r\n/Subtype /Image\r\n"
              "/ColorSpace [/Indexed /DeviceRGB 255 " +
                  palette + " ]\r\n/Width 10\r\n/Height 2\r\n/BitsPerComponent 8\r\n>>");

    Bitmap b4 = Bitmap::Create(3, 1, 4);
    b4.palette.resize(16);
    b4.pixels = {0x1F, 0xA0};
    EXPECT_EQ(Data(*MakeImage(b4, "Pdf-Bitmap")), std::string("\x01\x0F\x0A", 3));

    Bitmap b8 = Bitmap::Create(3, 1, 8);
    b8.palette.resize(256);
    b8.pixels = {0, 200, 255};
    EXPECT_EQ(Data(*MakeImage(b8, "Pdf-Bitmap")), std::string("\x00\xC8\xFF", 3));
}

TEST(PdfImages, EdgeShapes) {
    auto empty = MakeImage(Bitmap::Create(4, 0, 24), "Pdf-Bitmap");
    EXPECT_EQ(Data(*empty), "");
    EXPECT_EQ(empty->Attributes().ValueByName("ColorSpace"), nullptr);
    // Each call makes a separate image.
    Bitmap b = Bitmap::Create(1, 1, 24);
    EXPECT_NE(MakeImage(b, "Pdf-Bitmap"), MakeImage(b, "Pdf-Bitmap"));
    TPdfImageCreator base;
    EXPECT_EQ(base.CreateImage(b), nullptr);
}

TEST(PdfImageErrors, KindsAndMessages) {
    struct Case {
        std::function<void()> action;
        const std::type_info& kind;
        std::string message;
    };
    auto invalid = [](std::function<void(Bitmap&)> spoil) {
        return [spoil] {
            Bitmap b = Bitmap::Create(4, 4, 24);
            spoil(b);
            MakeImage(b, "Pdf-Bitmap");
        };
    };
    const std::string kInvalid = "CreateImage --the bitmap's size, format or data is invalid.";
    const Case cases[] = {
        {[] { MakeImage(Bitmap::Create(2, 2, 8), "Pdf-Bitmap"); }, typeid(EPdfInvalidImageFormat),
         "failed to get Palette.."},
        {[] {
             Bitmap b = Bitmap::Create(2, 2, 8);
             b.palette.resize(257);
             MakeImage(b, "Pdf-Bitmap");
         },
         typeid(EPdfInvalidImageFormat), kInvalid},
        {[] { MakeImage(Bitmap::Create(1, 1, 24), "Pdf-Jpeg"); }, typeid(EPdfError),
         "Class Pdf-Jpeg not found"},
        {invalid([](Bitmap& b) { b.bitsPerPixel = 12; }), typeid(EPdfInvalidImageFormat), kInvalid},
        {invalid([](Bitmap& b) { b.pixels.pop_back(); }), typeid(EPdfInvalidImageFormat), kInvalid},
        {invalid([](Bitmap& b) { b.stride = 11; }), typeid(EPdfInvalidImageFormat), kInvalid},
        {invalid([](Bitmap& b) { b.width = -1; }), typeid(EPdfInvalidImageFormat), kInvalid},
        {invalid([](Bitmap& b) { b.height = 1 << 30; }), typeid(EPdfInvalidImageFormat), kInvalid},
    };
    for (const Case& c : cases) {
        try {
            c.action();
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const std::exception& e) {
            EXPECT_EQ(typeid(e), c.kind) << c.message;
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
}

}  // namespace
}  // namespace halvik
