// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Report components: a page of panels, labels and images laid out in points from the page's
// top-left corner, printed into a PDF document by a report. Texts are UTF-8.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/Bitmap.h"
#include "pdf/PdfDocument.h"

namespace halvik {

// A general error of the report components.
class EReportError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
// An operation the component's state does not allow ("document is null..").
class EInvalidOperation : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A rectangle in page coordinates: points, origin top-left, y downwards.
struct TRpRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    friend bool operator==(const TRpRect&, const TRpRect&) = default;
};

// The canvas handed to pages, panels and items: page coordinates over the PDF canvas.
class TRpCanvas {
  public:
    TPdfCanvas* PdfCanvas() const { return FCanvas; }
    void SetPdfCanvas(TPdfCanvas* Value) { FCanvas = Value; }
    int PageWidth() const;
    int PageHeight() const;

    void TextRect(const TRpRect& ARect, std::string_view Text, TPdfAlignment Alignment,
                  bool Clipping);
    void TextOut(float X, float Y, std::string_view Text);
    float TextWidth(std::string_view Text) const;
    void SetFont(std::string_view fontname, float size);
    void SetCharSpace(float charSpace);
    void SetWordSpace(float wordSpace);

  private:
    TPdfCanvas& Pdf() const;
    TPdfCanvas* FCanvas = nullptr;
};

class TRpPage;

enum class TRpAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// What every component has: a name, a position and size relative to its parent, a parent, and
// children kept in the order they were added (which is the order they print in).
class TRpControl {
  public:
    explicit TRpControl(std::string AName);
    virtual ~TRpControl();
    TRpControl(const TRpControl&) = delete;
    TRpControl& operator=(const TRpControl&) = delete;

    virtual std::string_view ClassName() const = 0;
    const std::string& Name() const { return FName; }

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    void SetLeft(int Value) { FLeft = Value; }
    void SetTop(int Value) { FTop = Value; }
    void SetWidth(int Value) { FWidth = Value; }
    void SetHeight(int Value) { FHeight = Value; }
    // Left, Top, Left + Width, Top + Height.
    TRpRect BoundsRect() const { return {FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }

    TRpControl* Parent() const { return FParent; }
    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TRpControl* Controls(int Index) const { return FControls[Index].get(); }

    // Appends AChild as the last child of this control and owns it. AChild may refuse the
    // parent (see the parent rules of layout panels and items); it is destroyed then.
    template <class T>
    T* InsertControl(std::unique_ptr<T> AChild) {
        T* raw = AChild.get();
        Adopt(std::unique_ptr<TRpControl>(std::move(AChild)));
        return raw;
    }
    // Creates a child in place: Add<TRpLabel>("RpLabel1").
    template <class T, class... Args>
    T* Add(Args&&... args) {
        return InsertControl(std::make_unique<T>(std::forward<Args>(args)...));
    }

    // This control or a descendant with that name, or null.
    TRpControl* FindComponent(std::string_view AName);
    template <class T>
    T* Find(std::string_view AName) {
        return dynamic_cast<T*>(FindComponent(AName));
    }
    // The page this control lies on, directly or through panels (itself for a page), or null.
    TRpPage* Page();
    // How the control is aligned in its parent (layout panels and items can be).
    virtual TRpAlign ControlAlign() const { return TRpAlign::alNone; }

  protected:
    // Fails when this control cannot lie on AParent.
    virtual void CheckParent(const TRpControl& AParent) const;

  private:
    void Adopt(std::unique_ptr<TRpControl> AChild);

    std::string FName;
    int FLeft = 0;
    int FTop = 0;
    int FWidth = 0;
    int FHeight = 0;
    TRpControl* FParent = nullptr;
    std::vector<std::unique_ptr<TRpControl>> FControls;
};

class TRpPanel;

// A page: its size is the PDF page size; its children are panels.
class TRpPage : public TRpControl {
  public:
    using TPrintPageEvent = std::function<void(TRpPage& Sender, TRpCanvas& ACanvas)>;

    explicit TRpPage(std::string AName);  // 596 x 842, margins 32
    ~TRpPage() override;
    std::string_view ClassName() const override { return "TRpPage"; }

    void PrintPage(TRpCanvas& ACanvas);

    int MarginTop() const { return FMarginTop; }
    int MarginLeft() const { return FMarginLeft; }
    int MarginRight() const { return FMarginRight; }
    int MarginBottom() const { return FMarginBottom; }
    // Each ignores a negative value and any value not below half the page's width.
    void SetMarginTop(int Value);
    void SetMarginLeft(int Value);
    void SetMarginRight(int Value);
    void SetMarginBottom(int Value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value) { FVisible = Value; }
    const TPrintPageEvent& OnPrintPage() const { return FPrintPageEvent; }
    void SetOnPrintPage(TPrintPageEvent Value) { FPrintPageEvent = std::move(Value); }

    // The page's own measuring document (never written), for text widths on the page.
    TPdfDocument& MeasuringDocument() { return *FDoc; }

  private:
    bool AcceptMargin(int Value, int Current) const;

    std::unique_ptr<TPdfDocument> FDoc;
    int FMarginTop = 32;
    int FMarginLeft = 32;
    int FMarginRight = 32;
    int FMarginBottom = 32;
    TPrintPageEvent FPrintPageEvent;
    bool FVisible = true;
};

class TRpPanel : public TRpControl {
  public:
    explicit TRpPanel(std::string AName);  // 100 high
    std::string_view ClassName() const override { return "TRpPanel"; }
    // Prints each child: panels through PrintPanel, printable items through PrintItem, each
    // with its rectangle moved by ARect's Left and Top; other children are skipped.
    virtual void PrintPanel(TRpCanvas& ACanvas, const TRpRect& ARect);
};

class TRpLayoutPanel : public TRpPanel {
  public:
    using TPrintPanelEvent =
        std::function<void(TRpLayoutPanel& Sender, TRpCanvas& ACanvas, const TRpRect& Rect)>;

    explicit TRpLayoutPanel(std::string AName);
    std::string_view ClassName() const override { return "TRpLayoutPanel"; }
    void PrintPanel(TRpCanvas& ACanvas, const TRpRect& ARect) override;

    TRpAlign Align() const { return FAlign; }
    void SetAlign(TRpAlign Value) { FAlign = Value; }
    TRpAlign ControlAlign() const override { return FAlign; }
    const TPrintPanelEvent& BeforePrint() const { return FBeforePrint; }
    void SetBeforePrint(TPrintPanelEvent Value) { FBeforePrint = std::move(Value); }
    const TPrintPanelEvent& AfterPrint() const { return FAfterPrint; }
    void SetAfterPrint(TPrintPanelEvent Value) { FAfterPrint = std::move(Value); }

  protected:
    // Only a panel or a page: "TRpPage can not set on <class name>".
    void CheckParent(const TRpControl& AParent) const override;

  private:
    TPrintPanelEvent FAfterPrint;
    TPrintPanelEvent FBeforePrint;
    TRpAlign FAlign = TRpAlign::alNone;
};

class TRpItem : public TRpControl {
  public:
    explicit TRpItem(std::string AName);  // 100 x 30
    bool Printable() const { return FPrintable; }
    void SetPrintable(bool Value) { FPrintable = Value; }
    TRpAlign Align() const { return FAlign; }
    void SetAlign(TRpAlign Value) { FAlign = Value; }
    TRpAlign ControlAlign() const override { return FAlign; }
    virtual void PrintItem(TRpCanvas& ACanvas, const TRpRect& ARect);

  protected:
    // Only a panel: "this component must set on TRpPanel".
    void CheckParent(const TRpControl& AParent) const override;

  private:
    bool FPrintable = true;
    TRpAlign FAlign = TRpAlign::alNone;
};

enum class TRpFontName { fnFixedWidth, fnArial, fnTimesRoman };

class TRpCustomLabel : public TRpItem {
  public:
    using TRpItem::TRpItem;

    TColor FontColor() const { return FFontColor; }
    // Fails with EPdfInvalidValue "the color you selected is not allowed." above 0FFFFFFF.
    void SetFontColor(TColor Value);
    TRpFontName FontName() const { return FFontName; }
    void SetFontName(TRpFontName Value) { FFontName = Value; }
    float FontSize() const { return FFontSize; }
    void SetFontSize(float Value);  // ignores 0 and below
    bool FontBold() const { return FFontBold; }
    void SetFontBold(bool Value) { FFontBold = Value; }
    bool FontItalic() const { return FFontItalic; }
    void SetFontItalic(bool Value) { FFontItalic = Value; }
    float CharSpace() const { return FCharSpace; }
    void SetCharSpace(float Value) { FCharSpace = Value; }
    float WordSpace() const { return FWordSpace; }
    void SetWordSpace(float Value);  // ignores a negative value

    // "Arial-Bold" and the like: the font name asked of the document.
    std::string RegisteredFontName() const;

  private:
    TColor FFontColor = 0;
    TRpFontName FFontName = TRpFontName::fnArial;
    float FFontSize = 12;
    bool FFontBold = false;
    bool FFontItalic = false;
    float FCharSpace = 0;
    float FWordSpace = 0;
};

class TRpLabel : public TRpCustomLabel {
  public:
    using TRpCustomLabel::TRpCustomLabel;
    std::string_view ClassName() const override { return "TRpLabel"; }

    const std::string& Caption() const { return FCaption; }
    void SetCaption(std::string Value) { FCaption = std::move(Value); }
    bool Clipping() const { return FClipping; }
    void SetClipping(bool Value) { FClipping = Value; }
    TPdfAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TPdfAlignment Value) { FAlignment = Value; }
    bool AlignJustified() const { return FAlignJustified; }
    void SetAlignJustified(bool Value) { FAlignJustified = Value; }

    // The caption's width in points in the label's font, measured on its page's measuring
    // document (0 when the label lies on no page).
    float GetTextWidth();
    void PrintItem(TRpCanvas& ACanvas, const TRpRect& ARect) override;

  private:
    void ApplyTextState(TPdfCanvas& ACanvas) const;

    TPdfAlignment FAlignment = TPdfAlignment::paLeftJustify;
    bool FClipping = false;
    bool FAlignJustified = false;
    std::string FCaption;
};

class TRpImage : public TRpItem {
  public:
    using TRpItem::TRpItem;
    std::string_view ClassName() const override { return "TRpImage"; }

    // The picture, shared with the caller (the window keeps its bitmaps; nothing is copied).
    const std::shared_ptr<const Bitmap>& Picture() const { return FPicture; }
    void SetPicture(std::shared_ptr<const Bitmap> Value) { FPicture = std::move(Value); }
    void SetPicture(Bitmap Value) { FPicture = std::make_shared<const Bitmap>(std::move(Value)); }
    void ClearPicture() { FPicture.reset(); }
    bool SharedImage() const { return FSharedImage; }
    void SetSharedImage(bool Value) { FSharedImage = Value; }
    bool Stretch() const { return FStretch; }
    void SetStretch(bool Value) { FStretch = Value; }

    void PrintItem(TRpCanvas& ACanvas, const TRpRect& ARect) override;

  private:
    std::string FreeImageName(TPdfDocument& ADoc) const;

    std::shared_ptr<const Bitmap> FPicture;
    bool FSharedImage = true;
    bool FStretch = true;
};

// Writes pages into one PDF file: BeginDoc, Print(page) for each page, EndDoc.
class TRpReport {
  public:
    TRpReport();  // FileName "default.pdf", CreationDate now
    ~TRpReport();
    TRpReport(const TRpReport&) = delete;
    TRpReport& operator=(const TRpReport&) = delete;

    void BeginDoc();
    // Fails with EInvalidOperation "document is null.." when no document is open.
    void Print(TRpPage& APage);
    // Replaces FileName with the document: the bytes go to a new file in the same folder,
    // renamed over the old one after a complete save. Fails with EInvalidOperation
    // "document is null.." without a document, and with EFileCreateError
    // (Cannot create file "name". reason) when the file cannot be written; the old file is
    // then unchanged and the document stays open.
    void EndDoc();
    // Saves the document into AStream instead of a file and closes it.
    void EndDoc(TPdfOutputStream& AStream);
    void Abort();

    TPdfDocument* GetPdfDocument() const { return FDoc.get(); }
    int PageNumber() const { return FPageNumber; }
    TRpCanvas& Canvas() { return FCanvas; }

    const std::string& FileName() const { return FFileName; }
    void SetFileName(std::string Value) { FFileName = std::move(Value); }
    const std::string& Author() const { return FAuthor; }
    void SetAuthor(std::string Value);
    double CreationDate() const { return FCreationDate; }
    void SetCreationDate(double Value);
    const std::string& Creator() const { return FCreator; }
    void SetCreator(std::string Value);
    const std::string& Keywords() const { return FKeywords; }
    void SetKeywords(std::string Value);
    double ModDate() const { return FModDate; }
    void SetModDate(double Value);
    const std::string& Subject() const { return FSubject; }
    void SetSubject(std::string Value);
    const std::string& Title() const { return FTitle; }
    void SetTitle(std::string Value);
    TPdfPageLayout PageLayout() const { return FPageLayout; }
    void SetPageLayout(TPdfPageLayout Value);
    TPdfPageMode PageMode() const { return FPageMode; }
    void SetPageMode(TPdfPageMode Value);
    TPdfPageMode NonFullScreenPageMode() const { return FNonFullScreenPageMode; }
    void SetNonFullScreenPageMode(TPdfPageMode Value);
    TPdfCompressionMethod CompressionMethod() const { return FCompressionMethod; }
    void SetCompressionMethod(TPdfCompressionMethod Value) { FCompressionMethod = Value; }
    bool UseOutlines() const { return FUseOutlines; }
    void SetUseOutlines(bool Value);
    TPdfViewerPreferences ViewerPreference() const { return FViewerPreference; }
    void SetViewerPreference(TPdfViewerPreferences Value);

    TPdfOutlineRoot* OutlineRoot() const;
    TPdfDestination* OpenAction() const;
    void SetOpenAction(TPdfDestination* Value);
    TPdfDestination* CreateDestination();

  private:
    void CheckClosed(const char* setter) const;
    void FinishDoc();

    std::string FFileName = "default.pdf";
    std::string FAuthor;
    double FCreationDate;
    std::string FCreator;
    std::string FKeywords;
    double FModDate = 0;
    std::string FSubject;
    std::string FTitle;
    TRpCanvas FCanvas;
    std::unique_ptr<TPdfDocument> FDoc;
    TPdfPageMode FPageMode = TPdfPageMode::pmUseNone;
    TPdfPageMode FNonFullScreenPageMode = TPdfPageMode::pmUseNone;
    TPdfPageLayout FPageLayout = TPdfPageLayout::plSinglePage;
    TPdfCompressionMethod FCompressionMethod = TPdfCompressionMethod::cmNone;
    bool FUseOutlines = false;
    TPdfOutlineRoot* FOutlineRoot = nullptr;
    TPdfViewerPreferences FViewerPreference = 0;
    int FPageNumber = 0;
};

}  // namespace halvik
