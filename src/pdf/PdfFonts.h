// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The twelve standard Type 1 fonts under their registered names, with width tables.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/PdfObjects.h"

namespace halvik {

// A wrapper around one dictionary of the document (information, catalog, font, outline entry).
class TPdfDictionaryWrapper {
  public:
    virtual ~TPdfDictionaryWrapper() = default;
    TPdfDictionary* Data() const { return FData; }
    virtual void SetData(TPdfDictionary* Value) { FData = Value; }
    bool HasData() const { return FData != nullptr; }

  protected:
    TPdfDictionary* FData = nullptr;  // owned by the cross-reference table
};

class TPdfFont : public TPdfDictionaryWrapper {
  public:
    TPdfFont(TPdfXref* AXref, std::string AName);
    const std::string& Name() const { return FName; }
    // Width of the character at 1-based position APos, in thousandths of the font size. It
    // depends on that character alone (the standard fonts have no kerning), and a font's widths
    // stay as they were made, which lets the canvas keep them.
    virtual int GetCharWidth(std::u16string_view AText, int APos) const;

  protected:
    std::string FName;
};

class TPdfType1Font : public TPdfFont {
  public:
    TPdfType1Font(TPdfXref* AXref, std::string AName);
    void SetData(TPdfDictionary* Value) override;
    int GetCharWidth(std::u16string_view AText, int APos) const override;
    // The width of a character code, 0 to 255.
    int Width(std::uint8_t code) const { return FArray[code]; }
    std::uint8_t FirstChar() const { return FFirstChar; }
    std::uint8_t LastChar() const { return FLastChar; }

  protected:
    // Builds and numbers the font dictionary with the given base font and the 224 widths of
    // codes 32 to 255, then reads the widths back through SetData.
    void Build(TPdfXref* AXref, std::string_view baseFont, const std::uint16_t* widths224);

    std::uint8_t FFirstChar = 0;
    std::uint8_t FLastChar = 0;
    std::array<std::uint16_t, 256> FArray{};
};

#define HALVIK_PDF_FONT_KIND(ClassName)                \
    class ClassName final : public TPdfType1Font {     \
      public:                                          \
        ClassName(TPdfXref* AXref, std::string AName); \
    };
HALVIK_PDF_FONT_KIND(TPdfFixedWidth)
HALVIK_PDF_FONT_KIND(TPdfFixedWidthBold)
HALVIK_PDF_FONT_KIND(TPdfFixedWidthItalic)
HALVIK_PDF_FONT_KIND(TPdfFixedWidthBoldItalic)
HALVIK_PDF_FONT_KIND(TPdfArial)
HALVIK_PDF_FONT_KIND(TPdfArialBold)
HALVIK_PDF_FONT_KIND(TPdfArialItalic)
HALVIK_PDF_FONT_KIND(TPdfArialBoldItalic)
HALVIK_PDF_FONT_KIND(TPdfTimesRoman)
HALVIK_PDF_FONT_KIND(TPdfTimesBold)
HALVIK_PDF_FONT_KIND(TPdfTimesItalic)
HALVIK_PDF_FONT_KIND(TPdfTimesBoldItalic)
#undef HALVIK_PDF_FONT_KIND

// The process-wide registry of font kinds and image creators by registered name.
using TPdfFontFactory = std::unique_ptr<TPdfFont> (*)(TPdfXref* AXref, std::string AName);
// The font kind registered under a name; fails with EPdfError "Class %s not found" otherwise.
TPdfFontFactory FindFontClass(std::string_view AName);
// Every registered font name, in registration order.
std::vector<std::string> RegisteredFontNames();

// The standard advance widths (thousandths of the font size) of WinAnsiEncoding codes 32 to
// 255 of the proportional base fonts (generated table, see PdfFontWidths.cpp). The oblique
// Helvetica kinds use the upright tables.
extern const std::uint16_t kHelveticaWidths[224];
extern const std::uint16_t kHelveticaBoldWidths[224];
extern const std::uint16_t kTimesRomanWidths[224];
extern const std::uint16_t kTimesBoldWidths[224];
extern const std::uint16_t kTimesItalicWidths[224];
extern const std::uint16_t kTimesBoldItalicWidths[224];

}  // namespace halvik
