// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/PdfCanvas.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "pdf/PdfDocument.h"

namespace halvik {

namespace {
constexpr const char* kNoPage = "GetPage --the Page is nil";

float ToFloat(long double v) {
    return static_cast<float>(v);
}

// Rounds to the nearest integer, halves to the even one.
long double RoundHalfEven(long double v) {
    return std::nearbyintl(v);
}
}  // namespace

// ---- text state -------------------------------------------------------------------------------

void TPdfCanvasAttribute::SetWordSpace(float Value) {
    if (Value == FWordSpace)
        return;
    if (!(Value >= 0))
        throw EPdfInvalidValue("SetWordSpace --invalid word space");
    FWordSpace = Value;
}

void TPdfCanvasAttribute::SetCharSpace(float Value) {
    if (Value == FCharSpace)
        return;
    if (!(Value >= -30 && Value <= 300))
        throw EPdfInvalidValue("SetCharSpace --invalid char space");
    FCharSpace = Value;
    ForgetWidths();
}

void TPdfCanvasAttribute::SetFont(TPdfFont* Value) {
    // Always forgotten, even for the same pointer: a font made after another was freed may have
    // its address.
    FFont = Value;
    ForgetWidths();
}

void TPdfCanvasAttribute::SetFontSize(float Value) {
    if (Value == FFontSize)
        return;
    if (!(Value >= 0 && Value <= 300))
        throw EPdfInvalidValue("SetCharSpace --invalid font size");
    FFontSize = Value;
    ForgetWidths();
}

void TPdfCanvasAttribute::SetLeading(float Value) {
    if (Value == FLeading)
        return;
    if (!(Value >= 0 && Value <= 300))
        throw EPdfInvalidValue("SetLeading --invalid font size");
    FLeading = Value;
}

void TPdfCanvasAttribute::SetHorizontalScaling(std::uint16_t Value) {
    if (Value == FHorizontalScaling)
        return;
    if (Value < 10 || Value > 300) {
        throw EPdfInvalidValue("SetHorizontalScaling --invalid font size");
    }
    FHorizontalScaling = Value;
    ForgetWidths();
}

float TPdfCanvasAttribute::CharWidth(std::u16string_view Text, std::size_t index) const {
    if (FFont == nullptr)
        throw EPdfInvalidOperation("TextWidth --there is no current font.");
    const char16_t c = Text[index];
    float w;
    if (c < FWidths.size() && FKnownWidths[c]) {
        w = FWidths[c];
    } else {
        w = ToFloat(
            static_cast<long double>(FFont->GetCharWidth(Text, static_cast<int>(index) + 1)) *
            FFontSize / 1000);
        if (FHorizontalScaling != 100)
            w = ToFloat(static_cast<long double>(FHorizontalScaling) * w / 100);
        w = w > 0 ? ToFloat(static_cast<long double>(w) + FCharSpace) : 0.0f;
        if (c < FWidths.size()) {
            FWidths[c] = w;
            FKnownWidths[c] = true;
        }
    }
    if (c == u' ' && FWordSpace > 0 && index + 1 != Text.size()) {
        w = ToFloat(static_cast<long double>(w) + FWordSpace);
    }
    return w;
}

float TPdfCanvasAttribute::TextWidth(std::u16string_view Text) const {
    if (FFont == nullptr)
        throw EPdfInvalidOperation("TextWidth --there is no current font.");
    float result = 0;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        result = ToFloat(static_cast<long double>(result) + CharWidth(Text, i));
    }
    return ToFloat(static_cast<long double>(result) - FCharSpace);
}

int TPdfCanvasAttribute::MeasureText(std::u16string_view Text, float Width) const {
    if (FFont == nullptr)
        throw EPdfInvalidOperation("TextWidth --there is no current font.");
    float sum = 0;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        sum = ToFloat(static_cast<long double>(sum) + CharWidth(Text, i));
        if (sum > Width)
            return static_cast<int>(i);
    }
    return static_cast<int>(Text.size());
}

// ---- canvas: operators ------------------------------------------------------------------------

void TPdfCanvas::WriteContents(std::string_view line) {
    if (!Writing())
        return;
    WriteText(line, FContents->Stream());
}

void TPdfCanvas::WriteOperator(std::initializer_list<double> reals, std::string_view op) {
    if (!Writing())
        return;
    TPdfByteBuffer& out = FContents->Stream();
    // A page holds tens of thousands of these lines: each is put together on the stack and
    // appended at once. A number beyond the short form sends the line the long way.
    constexpr std::size_t kMaxReals = 6, kMaxOperator = 3;
    if (reals.size() <= kMaxReals && op.size() <= kMaxOperator) {
        char line[kMaxReals * (kShortRealChars + 1) + kMaxOperator + 1];
        char* p = line;
        for (double v : reals) {
            p = FormatShortReal(p, v);
            if (p == nullptr)
                break;
            *p++ = ' ';
        }
        if (p != nullptr) {
            p = std::copy(op.begin(), op.end(), p);
            *p++ = '\n';
            out.Append(line, static_cast<std::size_t>(p - line));
            return;
        }
    }
    for (double v : reals) {
        AppendReal(out, v);
        out.AppendByte(' ');
    }
    out.Append(op);
    out.AppendByte('\n');
}

void TPdfCanvas::WriteIntegers(std::initializer_list<std::int64_t> values, std::string_view op) {
    if (!Writing())
        return;
    TPdfByteBuffer& out = FContents->Stream();
    for (std::int64_t v : values) {
        AppendInteger(out, v);
        out.AppendByte(' ');
    }
    out.Append(op);
    out.AppendByte('\n');
}

void TPdfCanvas::GSave() {
    WriteOperator({}, "q");
}
void TPdfCanvas::GRestore() {
    WriteOperator({}, "Q");
}
void TPdfCanvas::Concat(float a, float b, float c, float d, float e, float f) {
    WriteOperator({a, b, c, d, e, f}, "cm");
}
void TPdfCanvas::SetFlat(std::uint8_t flatness) {
    WriteIntegers({flatness}, "i");
}
void TPdfCanvas::SetLineCap(TLineCapStyle linecap) {
    WriteIntegers({static_cast<int>(linecap)}, "J");
}
void TPdfCanvas::SetLineJoin(TLineJoinStyle linejoin) {
    WriteIntegers({static_cast<int>(linejoin)}, "j");
}
void TPdfCanvas::SetDash(const std::vector<std::uint8_t>& dashes, std::uint8_t phase) {
    std::string line = "[";
    for (std::uint8_t d : dashes)
        line += std::to_string(d) + " ";
    line += "] " + std::to_string(phase) + " d\n";
    WriteContents(line);
}
void TPdfCanvas::SetLineWidth(float linewidth) {
    WriteOperator({linewidth}, "w");
}
void TPdfCanvas::SetMiterLimit(std::uint8_t miterlimit) {
    WriteIntegers({miterlimit}, "M");
}
void TPdfCanvas::MoveTo(float x, float y) {
    WriteOperator({x, y}, "m");
}
void TPdfCanvas::LineTo(float x, float y) {
    WriteOperator({x, y}, "l");
}
void TPdfCanvas::Rectangle(float x, float y, float width, float height) {
    WriteOperator({x, y, width, height}, "re");
}
void TPdfCanvas::Closepath() {
    WriteOperator({}, "h");
}
void TPdfCanvas::NewPath() {
    WriteOperator({}, "n");
}
void TPdfCanvas::Stroke() {
    WriteOperator({}, "S");
}
void TPdfCanvas::ClosePathStroke() {
    WriteOperator({}, "s");
}
void TPdfCanvas::Fill() {
    WriteOperator({}, "f");
}
void TPdfCanvas::Eofill() {
    WriteOperator({}, "f*");
}
void TPdfCanvas::FillStroke() {
    WriteOperator({}, "B");
}
void TPdfCanvas::ClosepathFillStroke() {
    WriteOperator({}, "b");
}
void TPdfCanvas::EofillStroke() {
    WriteOperator({}, "B*");
}
void TPdfCanvas::ClosepathEofillStroke() {
    WriteOperator({}, "b*");
}
void TPdfCanvas::Clip() {
    WriteOperator({}, "W");
}
void TPdfCanvas::Eoclip() {
    WriteOperator({}, "W*");
}

void TPdfCanvas::WriteColor(TColor Value, std::string_view op) {
    const std::uint32_t v = Value <= 0 ? 0u : static_cast<std::uint32_t>(Value);
    WriteOperator({(v & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, ((v >> 16) & 0xFF) / 255.0}, op);
}
void TPdfCanvas::SetRGBFillColor(TColor Value) {
    WriteColor(Value, "rg");
}
void TPdfCanvas::SetRGBStrokeColor(TColor Value) {
    WriteColor(Value, "RG");
}

void TPdfCanvas::BeginText() {
    WriteOperator({}, "BT");
}
void TPdfCanvas::EndText() {
    WriteOperator({}, "ET");
}
void TPdfCanvas::MoveTextPoint(float tx, float ty) {
    WriteOperator({tx, ty}, "Td");
}
void TPdfCanvas::SetTextMatrix(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d,
                               std::uint16_t x, std::uint16_t y) {
    WriteIntegers({a, b, c, d, x, y}, "Tm");
}
void TPdfCanvas::MoveToNextLine() {
    WriteOperator({}, "T*");
}

void TPdfCanvas::WriteString(std::u16string_view s, std::string_view op) {
    if (!Writing())
        return;
    TPdfByteBuffer& out = FContents->Stream();
    if (!IsWideText(s)) {
        out.AppendByte('(');
        WriteText(std::u16string_view(EscapeText(s)), out);
        out.AppendByte(')');
    } else {
        static constexpr char kHex[] = "0123456789ABCDEF";
        out.AppendByte('<');
        for (char16_t c : s) {
            char digits[4];
            int n = 0;
            unsigned v = c;
            do {
                digits[n++] = kHex[v & 0xF];
                v >>= 4;
            } while (v != 0);
            if (n < 2)
                digits[n++] = '0';
            while (n > 0)
                out.AppendByte(static_cast<std::uint8_t>(digits[--n]));
        }
        out.AppendByte('>');
    }
    out.AppendByte(' ');
    out.Append(op);
    out.AppendByte('\n');
}

void TPdfCanvas::WriteString(std::string_view utf8, std::string_view op) {
    if (!IsAsciiText(utf8)) {
        WriteString(Utf8ToUtf16(utf8), op);
        return;
    }
    // Plain ASCII, most of what pages show, is its own code page form: escaped straight in.
    if (!Writing())
        return;
    TPdfByteBuffer& out = FContents->Stream();
    out.AppendByte('(');
    AppendEscapedAscii(out, utf8);
    out.AppendByte(')');
    out.AppendByte(' ');
    out.Append(op);
    out.AppendByte('\n');
}

void TPdfCanvas::ShowText(std::string_view s) {
    WriteString(s, "Tj");
}
void TPdfCanvas::ShowTextNextLine(std::string_view s) {
    WriteString(s, "'");
}

void TPdfCanvas::SetFontAndSize(std::string_view fontname, float size) {
    if (!Writing())
        return;
    TPdfByteBuffer& out = FContents->Stream();
    WriteText(fontname, out);
    out.AppendByte(' ');
    AppendReal(out, size);
    out.Append(" Tf\n");
}

void TPdfCanvas::SetCharSpace(float charSpace) {
    if (charSpace == FAttr.CharSpace())
        return;
    FAttr.SetCharSpace(charSpace);
    WriteOperator({charSpace}, "Tc");
}

void TPdfCanvas::SetWordSpace(float wordSpace) {
    if (wordSpace == FAttr.WordSpace())
        return;
    FAttr.SetWordSpace(wordSpace);
    WriteOperator({wordSpace}, "Tw");
}

void TPdfCanvas::SetHorizontalScaling(std::uint16_t hScaling) {
    if (hScaling == FAttr.HorizontalScaling())
        return;
    FAttr.SetHorizontalScaling(hScaling);
    WriteIntegers({hScaling}, "Tz");
}

void TPdfCanvas::SetLeading(float leading) {
    if (leading == FAttr.Leading())
        return;
    FAttr.SetLeading(leading);
    WriteOperator({leading}, "TL");
}

void TPdfCanvas::SetTextRenderingMode(TTextRenderingMode mode) {
    WriteIntegers({static_cast<int>(mode)}, "Tr");
}

void TPdfCanvas::SetTextRise(std::uint16_t rise) {
    WriteIntegers({rise}, "Ts");
}

void TPdfCanvas::ExecuteXObject(std::string_view xObject) {
    if (!Writing())
        return;
    TPdfByteBuffer& out = FContents->Stream();
    out.AppendByte('/');
    WriteText(xObject, out);
    out.Append(" Do\n");
}

// ---- canvas: pages, fonts, text ---------------------------------------------------------------

TPdfDictionary* TPdfCanvas::Page() const {
    if (FPage == nullptr)
        throw EPdfInvalidOperation(kNoPage);
    return FPage;
}

void TPdfCanvas::Detach() {
    FPage = nullptr;
    FContents = nullptr;
    FAttr.SetFont(nullptr);
}

void TPdfCanvas::SetPage(TPdfDictionary* APage) {
    if (FPage != nullptr) {
        if (FAttr.Font() != nullptr) {
            FPage->AddInternalItem("_Font", std::make_unique<TPdfName>(FAttr.Font()->Name()));
        }
        FPage->AddInternalItem("_Font_Size", std::make_unique<TPdfReal>(FAttr.FontSize()));
        FPage->AddInternalItem("_Word_Space", std::make_unique<TPdfReal>(FAttr.WordSpace()));
        FPage->AddInternalItem("_Char_Space", std::make_unique<TPdfReal>(FAttr.CharSpace()));
        FPage->AddInternalItem("_HScalling",
                               std::make_unique<TPdfNumber>(FAttr.HorizontalScaling()));
        FPage->AddInternalItem("_Leading", std::make_unique<TPdfReal>(FAttr.Leading()));
    }
    FPage = APage;
    FContents = APage ? PdfCast<TPdfStream>(APage->ValueByName("Contents")) : nullptr;
    if (APage == nullptr)
        return;
    if (TPdfName* font = APage->PdfNameByName("_Font")) {
        auto real = [&](const char* key) {
            TPdfReal* r = APage->PdfRealByName(key);
            return r ? static_cast<float>(r->Value()) : 0.0f;
        };
        FAttr.SetFont(FPdfDocument->GetFont(font->Value()));
        FAttr.SetFontSize(real("_Font_Size"));
        FAttr.SetWordSpace(real("_Word_Space"));
        FAttr.SetCharSpace(real("_Char_Space"));
        TPdfNumber* scaling = APage->PdfNumberByName("_HScalling");
        FAttr.SetHorizontalScaling(static_cast<std::uint16_t>(scaling ? scaling->Value() : 100));
        FAttr.SetLeading(real("_Leading"));
        return;
    }
    FAttr.SetFont(nullptr);
    SetFont("Arial", 10);
    FAttr.SetCharSpace(0);
    FAttr.SetWordSpace(0);
    FAttr.SetHorizontalScaling(100);
    FAttr.SetLeading(0);
}

namespace {
TPdfDictionary& ResourceDictionary(TPdfDictionary* page, const char* kind) {
    TPdfDictionary* resources = page->PdfDictionaryByName("Resources");
    if (resources == nullptr) {
        page->AddItem("Resources", std::make_unique<TPdfDictionary>(page->ObjectMgr()));
        resources = page->PdfDictionaryByName("Resources");
    }
    TPdfDictionary* dictionary = resources->PdfDictionaryByName(kind);
    if (dictionary == nullptr) {
        resources->AddItem(kind, std::make_unique<TPdfDictionary>(page->ObjectMgr()));
        dictionary = resources->PdfDictionaryByName(kind);
    }
    return *dictionary;
}
}  // namespace

void TPdfCanvas::SetFont(std::string_view AName, float ASize) {
    // GetFont creates a font not used before; a null here would be the document's own fault.
    TPdfFont* found = FPdfDocument->GetFont(AName);
    if (found == nullptr)
        throw EPdfInvalidOperation("SetFont --no font " + std::string(AName) + ".");
    TPdfFont& font = *found;
    if (&font == FAttr.Font() && ASize == FAttr.FontSize())
        return;
    TPdfDictionary& fonts = ResourceDictionary(Page(), "Font");
    TPdfName* resourceName = font.Data()->PdfNameByName("Name");
    const std::string name = resourceName ? resourceName->Value() : font.Name();
    if (fonts.ValueByName(name) == nullptr)
        fonts.AddItem(name, font.Data());
    if (FContents != nullptr)
        SetFontAndSize("/" + name, ASize);
    FAttr.SetFont(&font);
    FAttr.SetFontSize(ASize);
}

float TPdfCanvas::TextWidth(std::string_view Text) const {
    // A short ASCII text, what layouts measure most, is measured from a copy on the stack.
    char16_t units[64];
    if (Text.size() <= std::size(units) && IsAsciiText(Text)) {
        std::copy(Text.begin(), Text.end(), units);
        return FAttr.TextWidth(std::u16string_view(units, Text.size()));
    }
    return FAttr.TextWidth(Utf8ToUtf16(Text));
}

int TPdfCanvas::MeasureText(std::string_view Text, float AWidth) const {
    return FAttr.MeasureText(Utf8ToUtf16(Text), AWidth);
}

void TPdfCanvas::TextOut(float X, float Y, std::string_view Text) {
    BeginText();
    MoveTextPoint(X, Y);
    ShowText(Text);
    EndText();
}

void TPdfCanvas::TextRect(const TPdfRect& ARect, std::string_view Text, TPdfAlignment Alignment,
                          bool Clipping) {
    const std::u16string text = Utf8ToUtf16(Text);
    // The width matters only to the other alignments.
    const float w = Alignment == TPdfAlignment::paLeftJustify ? 0.0f : FAttr.TextWidth(text);
    float offset = 0;
    if (Alignment == TPdfAlignment::paRightJustify) {
        offset = ToFloat(static_cast<long double>(ARect.Right - ARect.Left) - RoundHalfEven(w));
    } else if (Alignment == TPdfAlignment::paCenter) {
        offset =
            ToFloat(RoundHalfEven((static_cast<long double>(ARect.Right) - ARect.Left - w) / 2));
    }
    if (Clipping) {
        GSave();
        MoveTo(ARect.Left, ARect.Top);
        LineTo(ARect.Left, ARect.Bottom);
        LineTo(ARect.Right, ARect.Bottom);
        LineTo(ARect.Right, ARect.Top);
        Closepath();
        Clip();
        NewPath();
    }
    BeginText();
    MoveTextPoint(ToFloat(static_cast<long double>(ARect.Left) + offset),
                  ToFloat(ARect.Top - static_cast<long double>(FAttr.FontSize()) * 0.85L));
    WriteString(text, "Tj");
    EndText();
    if (Clipping)
        GRestore();
}

std::u16string TPdfCanvas::GetNextWord(std::u16string_view S, std::size_t& Index) {
    const std::size_t start = Index;
    while (Index < S.size()) {
        const char16_t c = S[Index++];
        if (c == u' ')
            break;
        if (c == u'\n' && Index >= 2 && S[Index - 2] == u'\r')
            break;
    }
    return std::u16string(S.substr(start, Index - start));
}

void TPdfCanvas::MultilineTextRect(const TPdfRect& ARect, std::string_view Text, bool WordWrap) {
    const std::u16string text = Utf8ToUtf16(Text);
    const float width = ARect.Right - ARect.Left;
    float top = ARect.Top;
    BeginText();
    MoveTextPoint(ARect.Left, ToFloat(top - static_cast<long double>(FAttr.FontSize()) * 0.85L));
    std::u16string line;
    float lineWidth = 0;
    // Shows the collected line cut to the rectangle's width; false once the next line would
    // fall below the rectangle.
    auto emit = [&]() {
        const int fits = FAttr.MeasureText(line, width);
        WriteString(std::u16string_view(line).substr(0, static_cast<std::size_t>(fits)), "Tj");
        MoveToNextLine();
        top -= FAttr.Leading();
        line.clear();
        lineWidth = 0;
        return !(ARect.Bottom + FAttr.FontSize() > top);
    };
    bool stopped = false;
    std::size_t index = 0;
    while (index < text.size()) {
        std::u16string word = GetNextWord(text, index);
        if (WordWrap && !line.empty() && lineWidth + FAttr.TextWidth(word) > width) {
            if (!emit()) {
                stopped = true;
                break;
            }
        }
        const bool lineBreak = word.size() >= 2 && word.compare(word.size() - 2, 2, u"\r\n") == 0;
        if (lineBreak)
            word.resize(word.size() - 2);
        line += word;
        lineWidth += FAttr.TextWidth(word);
        if (!word.empty() && word.back() == u' ')
            lineWidth += FAttr.WordSpace();
        if (lineBreak && !emit()) {
            stopped = true;
            break;
        }
    }
    if (!stopped && !line.empty())
        emit();
    EndText();
}

void TPdfCanvas::DrawXObjectImpl(const char* caller, float X, float Y, float AWidth, float AHeight,
                                 const float* clip, std::string_view AXObjectName) {
    TPdfStream* xObject = FPdfDocument->GetXObject(AXObjectName);
    if (xObject == nullptr) {
        throw EPdfInvalidValue(std::string(caller) +
                               " --XObject not found: " + std::string(AXObjectName));
    }
    TPdfDictionary& xObjects = ResourceDictionary(Page(), "XObject");
    if (xObjects.ValueByName(AXObjectName) == nullptr)
        xObjects.AddItem(AXObjectName, xObject);
    GSave();
    if (clip != nullptr) {
        Rectangle(clip[0], clip[1], clip[2], clip[3]);
        Clip();
        NewPath();
    }
    Concat(AWidth, 0, 0, AHeight, X, Y);
    TPdfName* name = xObject->Attributes().PdfNameByName("Name");
    ExecuteXObject(name ? name->Value() : std::string(AXObjectName));
    GRestore();
}

void TPdfCanvas::DrawXObject(float X, float Y, float AWidth, float AHeight,
                             std::string_view AXObjectName) {
    DrawXObjectImpl("DrawXObject", X, Y, AWidth, AHeight, nullptr, AXObjectName);
}

void TPdfCanvas::DrawXObjectEx(float X, float Y, float AWidth, float AHeight, float ClipX,
                               float ClipY, float ClipWidth, float ClipHeight,
                               std::string_view AXObjectName) {
    const float clip[4] = {ClipX, ClipY, ClipWidth, ClipHeight};
    DrawXObjectImpl("DrawXObjectEx", X, Y, AWidth, AHeight, clip, AXObjectName);
}

int TPdfCanvas::PageWidth() const {
    TPdfArray* box = Page()->PdfArrayByName("MediaBox");
    std::int32_t value;
    return box && box->NumberAt(2, value) ? value : FPdfDocument->DefaultPageWidth();
}

int TPdfCanvas::PageHeight() const {
    TPdfArray* box = Page()->PdfArrayByName("MediaBox");
    std::int32_t value;
    return box && box->NumberAt(3, value) ? value : FPdfDocument->DefaultPageHeight();
}

namespace {
TPdfArray& MediaBox(TPdfDictionary* page, const TPdfDocument& doc) {
    TPdfArray* box = page->PdfArrayByName("MediaBox");
    if (box == nullptr || box->ItemCount() < 4) {
        page->AddItem("MediaBox", CreateNumArray(page->ObjectMgr(), {0, 0, doc.DefaultPageWidth(),
                                                                     doc.DefaultPageHeight()}));
        box = page->PdfArrayByName("MediaBox");
    }
    return *box;
}
}  // namespace

void TPdfCanvas::SetPageWidth(int AValue) {
    if (auto* n = PdfCast<TPdfNumber>(MediaBox(Page(), *FPdfDocument).Items(2))) {
        n->SetValue(AValue);
    }
}

void TPdfCanvas::SetPageHeight(int AValue) {
    if (auto* n = PdfCast<TPdfNumber>(MediaBox(Page(), *FPdfDocument).Items(3))) {
        n->SetValue(AValue);
    }
}

}  // namespace halvik
