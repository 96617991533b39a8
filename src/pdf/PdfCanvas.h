// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The page canvas: the text state and the content-stream operators of the current page, with the
// text layout (measuring, alignment, word wrap) and image placement built on them.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/PdfFonts.h"
#include "pdf/PdfObjects.h"

namespace halvik {

class TPdfDocument;

enum class TPdfAlignment { paLeftJustify = 0, paRightJustify = 1, paCenter = 2 };
enum class TLineCapStyle { lcButt_End, lcRound_End, lcProjectingSquareEnd };
enum class TLineJoinStyle { ljMiterJoin, ljRoundJoin, ljBevelJoin };
enum class TTextRenderingMode {
    trFill,
    trStroke,
    trFillThenStroke,
    trInvisible,
    trFillClipping,
    trStrokeClipping,
    trFillStrokeClipping,
    trClipping
};

// Colour: red in the lowest byte, then green, then blue; values of 0 or below are black.
using TColor = std::int32_t;

// ---- canvas ---------------------------------------------------------------------------------

// The text state of the canvas.
class TPdfCanvasAttribute {
  public:
    float WordSpace() const { return FWordSpace; }
    float CharSpace() const { return FCharSpace; }
    float FontSize() const { return FFontSize; }
    TPdfFont* Font() const { return FFont; }
    float Leading() const { return FLeading; }
    std::uint16_t HorizontalScaling() const { return FHorizontalScaling; }

    // Range-checked setters (see TPdfCanvas for the messages).
    void SetWordSpace(float Value);
    void SetCharSpace(float Value);
    void SetFontSize(float Value);
    void SetFont(TPdfFont* Value);
    void SetLeading(float Value);
    void SetHorizontalScaling(std::uint16_t Value);

    float TextWidth(std::u16string_view Text) const;
    int MeasureText(std::u16string_view Text, float Width) const;

  private:
    float CharWidth(std::u16string_view Text, std::size_t index) const;
    void ForgetWidths() { FKnownWidths.fill(false); }

    // The widths of code units 0 to 255 before the word space, as CharWidth works them out for
    // the current font, size, scaling and character spacing: layouts measure the same few
    // characters thousands of times. Forgotten whenever one of those is set.
    mutable std::array<float, 256> FWidths{};
    mutable std::array<bool, 256> FKnownWidths{};
    float FWordSpace = 0;
    float FCharSpace = 0;
    float FFontSize = 0;
    TPdfFont* FFont = nullptr;
    float FLeading = 0;
    std::uint16_t FHorizontalScaling = 100;
};

// Turns drawing calls into content-stream operators on the current page. Geometry is PDF user
// space (points, origin bottom-left). Texts are UTF-8.
class TPdfCanvas {
  public:
    explicit TPdfCanvas(TPdfDocument* APdfDoc) : FPdfDocument(APdfDoc) {}

    // -- path and graphics state
    void GSave();
    void GRestore();
    void Concat(float a, float b, float c, float d, float e, float f);
    void SetFlat(std::uint8_t flatness);
    void SetLineCap(TLineCapStyle linecap);
    void SetLineJoin(TLineJoinStyle linejoin);
    void SetDash(const std::vector<std::uint8_t>& dashes, std::uint8_t phase);
    void SetLineWidth(float linewidth);
    void SetMiterLimit(std::uint8_t miterlimit);
    void MoveTo(float x, float y);
    void LineTo(float x, float y);
    void Rectangle(float x, float y, float width, float height);
    void Closepath();
    void NewPath();
    void Stroke();
    void ClosePathStroke();
    void Fill();
    void Eofill();
    void FillStroke();
    void ClosepathFillStroke();
    void EofillStroke();
    void ClosepathEofillStroke();
    void Clip();
    void Eoclip();
    void SetRGBFillColor(TColor Value);
    void SetRGBStrokeColor(TColor Value);

    // -- text operators
    void BeginText();
    void EndText();
    void MoveTextPoint(float tx, float ty);
    void SetTextMatrix(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d,
                       std::uint16_t x, std::uint16_t y);
    void MoveToNextLine();
    void ShowText(std::string_view s);
    void ShowTextNextLine(std::string_view s);
    void SetFontAndSize(std::string_view fontname, float size);  // fontname with its solidus
    void SetCharSpace(float charSpace);
    void SetWordSpace(float wordSpace);
    void SetHorizontalScaling(std::uint16_t hScaling);
    void SetLeading(float leading);
    void SetTextRenderingMode(TTextRenderingMode mode);
    void SetTextRise(std::uint16_t rise);
    void ExecuteXObject(std::string_view xObject);

    // -- higher operations
    void SetPage(TPdfDictionary* APage);
    void SetFont(std::string_view AName, float ASize);
    void TextOut(float X, float Y, std::string_view Text);
    void TextRect(const TPdfRect& ARect, std::string_view Text, TPdfAlignment Alignment,
                  bool Clipping);
    void MultilineTextRect(const TPdfRect& ARect, std::string_view Text, bool WordWrap);
    void DrawXObject(float X, float Y, float AWidth, float AHeight, std::string_view AXObjectName);
    void DrawXObjectEx(float X, float Y, float AWidth, float AHeight, float ClipX, float ClipY,
                       float ClipWidth, float ClipHeight, std::string_view AXObjectName);
    float TextWidth(std::string_view Text) const;
    int MeasureText(std::string_view Text, float AWidth) const;  // in UTF-16 code units
    // From 0-based Index: up to and including the next space, or the LF after a CR, or the end.
    static std::u16string GetNextWord(std::u16string_view S, std::size_t& Index);

    int PageWidth() const;
    int PageHeight() const;
    void SetPageWidth(int AValue);
    void SetPageHeight(int AValue);

    TPdfCanvasAttribute& Attribute() { return FAttr; }
    const TPdfCanvasAttribute& Attribute() const { return FAttr; }
    TPdfStream* Contents() const { return FContents; }
    // The current page; fails with "GetPage --the Page is nil" when there is none.
    TPdfDictionary* Page() const;
    TPdfDocument* GetDoc() const { return FPdfDocument; }
    bool IsVirtual() const { return FIsVirtual; }
    void SetIsVirtual(bool Value) { FIsVirtual = Value; }

    // Forgets the page and content stream (the document that held them is gone).
    void Detach();

  private:
    void WriteContents(std::string_view line);
    bool Writing() const { return FContents != nullptr && !FIsVirtual; }
    void WriteOperator(std::initializer_list<double> reals, std::string_view op);
    void WriteIntegers(std::initializer_list<std::int64_t> values, std::string_view op);
    void WriteColor(TColor Value, std::string_view op);
    void WriteString(std::u16string_view s, std::string_view op);
    void WriteString(std::string_view utf8, std::string_view op);
    void DrawXObjectImpl(const char* caller, float X, float Y, float AWidth, float AHeight,
                         const float* clip, std::string_view AXObjectName);

    TPdfStream* FContents = nullptr;
    TPdfDictionary* FPage = nullptr;
    TPdfDocument* FPdfDocument;
    TPdfCanvasAttribute FAttr;
    bool FIsVirtual = false;
};

}  // namespace halvik
