#pragma once

// The document under construction (catalog, information, page tree, fonts, image XObjects),
// its page canvas and the file save.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "pdf/PdfFonts.h"
#include "pdf/PdfObjects.h"

namespace halvik {

class TPdfDocument;

enum class TPdfPageLayout { plSinglePage, plOneColumn, plTwoColumnLeft, plTwoColumnRight };
enum class TPdfPageMode { pmUseNone, pmUseOutlines, pmUseThumbs, pmFullScreen };
enum class TPdfViewerPreference {
    vpHideToolbar,
    vpHideMenubar,
    vpHideWindowUI,
    vpFitWindow,
    vpCenterWindow
};
// A set of TPdfViewerPreference: bit (1 << ordinal) per member.
using TPdfViewerPreferences = unsigned;
constexpr TPdfViewerPreferences ViewerPreferenceBit(TPdfViewerPreference p) {
    return 1u << static_cast<unsigned>(p);
}
enum class TPdfAnnotationSubType { asTextNotes, asLink };
enum class TPdfDestinationType { dtXYZ, dtFit, dtFitH, dtFitV, dtFitR, dtFitB, dtFitBH, dtFitBV };
enum class TPdfCompressionMethod { cmNone };
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
    void SetFont(TPdfFont* Value) { FFont = Value; }
    void SetLeading(float Value);
    void SetHorizontalScaling(std::uint16_t Value);

    float TextWidth(std::u16string_view Text) const;
    int MeasureText(std::u16string_view Text, float Width) const;

  private:
    float CharWidth(std::u16string_view Text, std::size_t index) const;

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
    void CurveToC(float x1, float y1, float x2, float y2, float x3, float y3);
    void CurveToV(float x2, float y2, float x3, float y3);
    void CurveToY(float x1, float y1, float x3, float y3);
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
    void Ellipse(float x, float y, float width, float height);

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
    void DrawXObjectImpl(const char* caller, float X, float Y, float AWidth, float AHeight,
                         const float* clip, std::string_view AXObjectName);
    void MeasureCheckFont() const;

    TPdfStream* FContents = nullptr;
    TPdfDictionary* FPage = nullptr;
    TPdfDocument* FPdfDocument;
    TPdfCanvasAttribute FAttr;
    bool FIsVirtual = false;
};

// ---- document wrappers ----------------------------------------------------------------------

class TPdfInfo final : public TPdfDictionaryWrapper {
  public:
    std::string Author() const;
    void SetAuthor(std::string_view Value);
    double CreationDate() const;  // 0 when absent or unreadable
    void SetCreationDate(double Value);
    std::string Creator() const;
    void SetCreator(std::string_view Value);
    std::string Keywords() const;
    void SetKeywords(std::string_view Value);
    double ModDate() const;
    void SetModDate(double Value);
    std::string Subject() const;
    void SetSubject(std::string_view Value);
    std::string Title() const;
    void SetTitle(std::string_view Value);

  private:
    std::string TextOf(std::string_view key) const;
    double DateOf(std::string_view key) const;
};

class TPdfDestination;

class TPdfCatalog final : public TPdfDictionaryWrapper {
  public:
    TPdfPageLayout PageLayout() const;
    void SetPageLayout(TPdfPageLayout Value);
    TPdfPageMode PageMode() const;
    void SetPageMode(TPdfPageMode Value);
    TPdfPageMode NonFullScreenPageMode() const;
    void SetNonFullScreenPageMode(TPdfPageMode Value);
    TPdfViewerPreferences ViewerPreference() const;
    void SetViewerPreference(TPdfViewerPreferences Value);
    TPdfDestination* OpenAction() const { return FOpenAction; }
    void SetOpenAction(TPdfDestination* Value) { FOpenAction = Value; }
    // Fails with "GetPages --page object is null.." when the catalog has none.
    TPdfDictionary* Pages() const;
    void SetPages(TPdfDictionary* Value);  // only a dictionary of Type /Pages
    // Writes OpenAction (or removes it) before a save.
    void SaveOpenAction();

  private:
    TPdfDestination* FOpenAction = nullptr;
};

// A place in the document: a page, a fit type and its values.
class TPdfDestination {
  public:
    TPdfDestination(TPdfDocument* APdfDoc);  // on the current page: dtXYZ, values 0, zoom 1
    TPdfDestinationType DestinationType() const { return FType; }
    void SetDestinationType(TPdfDestinationType Value) { FType = Value; }
    float Left() const { return FValues[0]; }
    void SetLeft(float v) { FValues[0] = v; }
    float Top() const { return FValues[1]; }
    void SetTop(float v) { FValues[1] = v; }
    float Right() const { return FValues[2]; }
    void SetRight(float v) { FValues[2] = v; }
    float Bottom() const { return FValues[3]; }
    void SetBottom(float v) { FValues[3] = v; }
    float Zoom() const { return FZoom; }
    void SetZoom(float Value);  // 0 to 10
    TPdfDictionary* Page() const { return FPage; }
    // The destination array: page reference, type name, the type's values.
    std::unique_ptr<TPdfArray> GetValue() const;

  private:
    TPdfDocument* FDoc;
    TPdfDictionary* FPage;
    TPdfDestinationType FType = TPdfDestinationType::dtXYZ;
    float FValues[4] = {0, 0, 0, 0};
    float FZoom = 1;
};

class TPdfOutlineEntry : public TPdfDictionaryWrapper {
  public:
    TPdfOutlineEntry(TPdfDocument* ADoc, TPdfOutlineEntry* AParent);
    // A new last child; fails with "CreateEntry --invalid parent." without a parent.
    TPdfOutlineEntry* AddChild();
    TPdfOutlineEntry* Parent() const { return FParent; }
    const std::vector<TPdfOutlineEntry*>& Children() const { return FChildren; }
    std::string Title() const { return FTitle; }
    void SetTitle(std::string_view Value) { FTitle = Value; }
    TPdfDestination* Dest() const { return FDest; }
    void SetDest(TPdfDestination* Value) { FDest = Value; }
    bool Opened() const { return FOpened; }
    void SetOpened(bool Value) { FOpened = Value; }
    // Writes Count, Title, Dest and the links of this entry and its children.
    virtual void Save();
    int DescendantCount() const;

  protected:
    TPdfDocument* FDoc;
    TPdfOutlineEntry* FParent;
    std::vector<TPdfOutlineEntry*> FChildren;  // owned by the document
    std::string FTitle;
    TPdfDestination* FDest = nullptr;
    bool FOpened = false;
};

class TPdfOutlineRoot final : public TPdfOutlineEntry {
  public:
    explicit TPdfOutlineRoot(TPdfDocument* ADoc);
    void Save() override;
};

// ---- document ---------------------------------------------------------------------------------

class TPdfDocument {
  public:
    TPdfDocument();
    ~TPdfDocument();
    TPdfDocument(const TPdfDocument&) = delete;
    TPdfDocument& operator=(const TPdfDocument&) = delete;

    void NewDoc();
    void FreeDoc();
    void AddPage();
    TPdfFont* GetFont(std::string_view FontName);
    // Numbers the image and registers it; the document takes it.
    void AddXObject(std::string_view AName, std::unique_ptr<TPdfStream> AXObject);
    // Registers an XObject already numbered in this document.
    void RegisterXObject(TPdfStream* AObject, std::string_view AName);
    TPdfStream* GetXObject(std::string_view AName) const;
    void SaveToStream(TPdfOutputStream& AStream);
    void SetVirtualMode();
    TPdfDictionary* CreateAnnotation(TPdfAnnotationSubType AType, const TPdfRect& ARect);
    TPdfDestination* CreateDestination();

    bool HasDoc() const { return FHasDoc; }
    TPdfCanvas& Canvas();
    TPdfInfo& Info();
    TPdfCatalog& Root();
    TPdfOutlineRoot& OutlineRoot();
    TPdfXref& Xref();
    int DefaultPageWidth() const { return FDefaultPageWidth; }
    void SetDefaultPageWidth(int Value) { FDefaultPageWidth = Value; }
    int DefaultPageHeight() const { return FDefaultPageHeight; }
    void SetDefaultPageHeight(int Value) { FDefaultPageHeight = Value; }
    TPdfCompressionMethod CompressionMethod() const { return FCompressionMethod; }
    void SetCompressionMethod(TPdfCompressionMethod Value) { FCompressionMethod = Value; }
    bool UseOutlines() const { return FUseOutlines; }
    void SetUseOutlines(bool Value) { FUseOutlines = Value; }

  private:
    std::unique_ptr<TPdfFont> CreateFont(std::string_view FontName);

    TPdfCatalog* FRoot = nullptr;
    TPdfDictionary* FCurrentPages = nullptr;
    std::unique_ptr<TPdfCanvas> FCanvas;
    std::unique_ptr<TPdfHeader> FHeader;
    std::unique_ptr<TPdfTrailer> FTrailer;
    std::unique_ptr<TPdfXref> FXref;
    TPdfInfo* FInfo = nullptr;
    bool FHasDoc = false;
    std::vector<std::unique_ptr<TPdfFont>> FFontList;
    std::vector<std::unique_ptr<TPdfDictionaryWrapper>> FObjectList;
    std::vector<std::unique_ptr<TPdfDestination>> FDestinations;
    TPdfOutlineRoot* FOutlineRoot = nullptr;
    std::unique_ptr<TPdfArray> FXObjectList;
    std::unordered_map<std::string, TPdfStream*> FXObjectIndex;
    int FDefaultPageWidth = 596;
    int FDefaultPageHeight = 842;
    TPdfCompressionMethod FCompressionMethod = TPdfCompressionMethod::cmNone;
    bool FUseOutlines = false;

    friend class TPdfDestination;
    friend class TPdfOutlineEntry;
};

}  // namespace halvik
