// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/PdfFonts.h"

#include <array>

namespace halvik {

TPdfFont::TPdfFont(TPdfXref*, std::string AName) : FName(std::move(AName)) {}

int TPdfFont::GetCharWidth(std::u16string_view, int) const {
    return 0;
}

TPdfType1Font::TPdfType1Font(TPdfXref* AXref, std::string AName)
    : TPdfFont(AXref, std::move(AName)) {}

void TPdfType1Font::Build(TPdfXref* AXref, std::string_view baseFont,
                          const std::uint16_t* widths224) {
    auto dictionary = std::make_unique<TPdfDictionary>(AXref);
    TPdfDictionary* data = AXref->Add(std::move(dictionary));
    static constexpr std::array<std::pair<const char*, const char*>, 3> kNames = {{
        {"Type", "Font"},
        {"Subtype", "Type1"},
        {"Encoding", "WinAnsiEncoding"},
    }};
    for (const auto& [key, value] : kNames)
        data->AddNameItem(key, value);
    static constexpr std::array<std::pair<const char*, int>, 2> kIntegers = {{
        {"FirstChar", 32},
        {"LastChar", 255},
    }};
    for (const auto& [key, value] : kIntegers)
        data->AddNumberItem(key, value);
    data->AddNameItem("BaseFont", std::string(baseFont));
    auto widths = std::make_unique<TPdfArray>(AXref);
    std::int32_t values[224];
    for (int i = 0; i < 224; ++i)
        values[i] = widths224[i];
    widths->AddNumbers(values, 224);
    data->AddInternalItem("Widths", std::move(widths));
    SetData(data);
}

void TPdfType1Font::SetData(TPdfDictionary* Value) {
    TPdfFont::SetData(Value);
    std::uint16_t missing = 0;
    if (TPdfNumber* missingWidth = Value ? Value->PdfNumberByName("MissingWidth") : nullptr) {
        missing = static_cast<std::uint16_t>(missingWidth->Value());
    }
    FArray.fill(missing);
    if (Value == nullptr)
        return;
    TPdfNumber* first = Value->PdfNumberByName("FirstChar");
    TPdfNumber* last = Value->PdfNumberByName("LastChar");
    FFirstChar = static_cast<std::uint8_t>(first ? first->Value() : 0);
    FLastChar = static_cast<std::uint8_t>(last ? last->Value() : 0);
    if (TPdfArray* widths = Value->PdfArrayByName("Widths")) {
        for (int i = 0; i < widths->ItemCount() && FFirstChar + i < 256; ++i) {
            std::int32_t width;
            if (widths->NumberAt(i, width))
                FArray[FFirstChar + i] = static_cast<std::uint16_t>(width);
        }
    }
}

int TPdfType1Font::GetCharWidth(std::u16string_view AText, int APos) const {
    if (APos < 1 || static_cast<std::size_t>(APos) > AText.size())
        return 0;
    char16_t c = AText[APos - 1];
    // Beyond Latin-1 the character is drawn as its code page byte.
    return FArray[c <= 0xFF ? c : AnsiByte(c)];
}

namespace {
const std::uint16_t* FixedWidths() {
    static const std::array<std::uint16_t, 224> widths = [] {
        std::array<std::uint16_t, 224> w{};
        w.fill(600);
        return w;
    }();
    return widths.data();
}
}  // namespace

#define HALVIK_PDF_FONT_KIND(ClassName, BaseFont, Widths)    \
    ClassName::ClassName(TPdfXref* AXref, std::string AName) \
        : TPdfType1Font(AXref, std::move(AName)) {           \
        Build(AXref, BaseFont, Widths);                      \
    }
HALVIK_PDF_FONT_KIND(TPdfFixedWidth, "Courier", FixedWidths())
HALVIK_PDF_FONT_KIND(TPdfFixedWidthBold, "Courier-Bold", FixedWidths())
HALVIK_PDF_FONT_KIND(TPdfFixedWidthItalic, "Courier-Oblique", FixedWidths())
HALVIK_PDF_FONT_KIND(TPdfFixedWidthBoldItalic, "Courier-BoldOblique", FixedWidths())
HALVIK_PDF_FONT_KIND(TPdfArial, "Helvetica", kHelveticaWidths)
HALVIK_PDF_FONT_KIND(TPdfArialBold, "Helvetica-Bold", kHelveticaBoldWidths)
HALVIK_PDF_FONT_KIND(TPdfArialItalic, "Helvetica-Oblique", kHelveticaWidths)
HALVIK_PDF_FONT_KIND(TPdfArialBoldItalic, "Helvetica-BoldOblique", kHelveticaBoldWidths)
HALVIK_PDF_FONT_KIND(TPdfTimesRoman, "Times-Roman", kTimesRomanWidths)
HALVIK_PDF_FONT_KIND(TPdfTimesBold, "Times-Bold", kTimesBoldWidths)
HALVIK_PDF_FONT_KIND(TPdfTimesItalic, "Times-Italic", kTimesItalicWidths)
HALVIK_PDF_FONT_KIND(TPdfTimesBoldItalic, "Times-BoldItalic", kTimesBoldItalicWidths)
#undef HALVIK_PDF_FONT_KIND

namespace {
template <class T>
std::unique_ptr<TPdfFont> Make(TPdfXref* AXref, std::string AName) {
    return std::make_unique<T>(AXref, std::move(AName));
}

struct RegistryEntry {
    const char* name;
    TPdfFontFactory factory;  // null for the image creator
};

constexpr RegistryEntry kRegistry[] = {
    {"FixedWidth", &Make<TPdfFixedWidth>},
    {"FixedWidth-Bold", &Make<TPdfFixedWidthBold>},
    {"FixedWidth-Italic", &Make<TPdfFixedWidthItalic>},
    {"FixedWidth-BoldItalic", &Make<TPdfFixedWidthBoldItalic>},
    {"Arial", &Make<TPdfArial>},
    {"Arial-Bold", &Make<TPdfArialBold>},
    {"Arial-Italic", &Make<TPdfArialItalic>},
    {"Arial-BoldItalic", &Make<TPdfArialBoldItalic>},
    {"Times-Roman", &Make<TPdfTimesRoman>},
    {"Times-Bold", &Make<TPdfTimesBold>},
    {"Times-Italic", &Make<TPdfTimesItalic>},
    {"Times-BoldItalic", &Make<TPdfTimesBoldItalic>},
    {"Pdf-Bitmap", nullptr},
};
}  // namespace

TPdfFontFactory FindFontClass(std::string_view AName) {
    for (const auto& entry : kRegistry) {
        if (entry.factory != nullptr && AName == entry.name)
            return entry.factory;
    }
    throw EPdfError("Class " + std::string(AName) + " not found");
}

std::vector<std::string> RegisteredFontNames() {
    std::vector<std::string> names;
    for (const auto& entry : kRegistry) {
        if (entry.factory != nullptr)
            names.emplace_back(entry.name);
    }
    return names;
}

}  // namespace halvik
