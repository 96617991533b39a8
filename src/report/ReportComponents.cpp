// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/ReportComponents.h"

#include <random>

#include "pdf/PdfClock.h"
#include "pdf/PdfImages.h"

namespace halvik {

// ---- TRpCanvas ----------------------------------------------------------------------------------

TPdfCanvas& TRpCanvas::Pdf() const {
    if (FCanvas == nullptr)
        throw EInvalidOperation("document is null..");
    return *FCanvas;
}

int TRpCanvas::PageWidth() const {
    return Pdf().PageWidth();
}
int TRpCanvas::PageHeight() const {
    return Pdf().PageHeight();
}

void TRpCanvas::TextRect(const TRpRect& ARect, std::string_view Text, TPdfAlignment Alignment,
                         bool Clipping) {
    TPdfCanvas& canvas = Pdf();
    const int height = canvas.PageHeight();
    const TPdfRect rect(static_cast<float>(ARect.Left), static_cast<float>(height - ARect.Top),
                        static_cast<float>(ARect.Right), static_cast<float>(height - ARect.Bottom));
    canvas.TextRect(rect, Text, Alignment, Clipping);
}

void TRpCanvas::TextOut(float X, float Y, std::string_view Text) {
    TPdfCanvas& canvas = Pdf();
    const long double y =
        canvas.PageHeight() - static_cast<long double>(Y) - canvas.Attribute().FontSize() * 0.85L;
    canvas.TextOut(X, static_cast<float>(y), Text);
}

float TRpCanvas::TextWidth(std::string_view Text) const {
    return Pdf().TextWidth(Text);
}
void TRpCanvas::SetFont(std::string_view fontname, float size) {
    Pdf().SetFont(fontname, size);
}
void TRpCanvas::SetCharSpace(float charSpace) {
    Pdf().SetCharSpace(charSpace);
}
void TRpCanvas::SetWordSpace(float wordSpace) {
    Pdf().SetWordSpace(wordSpace);
}

// ---- TRpControl ---------------------------------------------------------------------------------

TRpControl::TRpControl(std::string AName) : FName(std::move(AName)) {}

TRpControl::~TRpControl() = default;

void TRpControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
}

void TRpControl::CheckParent(const TRpControl&) const {}

void TRpControl::Adopt(std::unique_ptr<TRpControl> AChild) {
    if (!AChild)
        return;
    AChild->CheckParent(*this);
    AChild->FParent = this;
    FControls.push_back(std::move(AChild));
}

TRpControl* TRpControl::FindComponent(std::string_view AName) {
    if (FName == AName)
        return this;
    for (const auto& child : FControls) {
        if (TRpControl* found = child->FindComponent(AName))
            return found;
    }
    return nullptr;
}

TRpPage* TRpControl::Page() {
    for (TRpControl* control = this; control != nullptr; control = control->FParent) {
        if (auto* page = dynamic_cast<TRpPage*>(control))
            return page;
    }
    return nullptr;
}

namespace {
// The rectangles of a container's children inside `client`: a child without alignment keeps
// its own bounds moved by (originLeft, originTop); aligned children fill the client area the
// usual way, top ones first, then bottom, left, right and client.
std::vector<TRpRect> ChildRects(const TRpControl& parent, const TRpRect& client, int originLeft,
                                int originTop) {
    const int count = parent.ControlCount();
    std::vector<TRpRect> rects(static_cast<std::size_t>(count));
    bool anyAligned = false;
    for (int i = 0; i < count; ++i) {
        const TRpControl* child = parent.Controls(i);
        const TRpRect r = child->BoundsRect();
        rects[i] = {r.Left + originLeft, r.Top + originTop, r.Right + originLeft,
                    r.Bottom + originTop};
        anyAligned = anyAligned || child->ControlAlign() != TRpAlign::alNone;
    }
    if (!anyAligned)
        return rects;
    TRpRect free = client;
    for (TRpAlign pass : {TRpAlign::alTop, TRpAlign::alBottom, TRpAlign::alLeft, TRpAlign::alRight,
                          TRpAlign::alClient}) {
        for (int i = 0; i < count; ++i) {
            const TRpControl* child = parent.Controls(i);
            if (child->ControlAlign() != pass)
                continue;
            const int w = child->Width();
            const int h = child->Height();
            switch (pass) {
                case TRpAlign::alTop:
                    rects[i] = {free.Left, free.Top, free.Right, free.Top + h};
                    free.Top += h;
                    break;
                case TRpAlign::alBottom:
                    rects[i] = {free.Left, free.Bottom - h, free.Right, free.Bottom};
                    free.Bottom -= h;
                    break;
                case TRpAlign::alLeft:
                    rects[i] = {free.Left, free.Top, free.Left + w, free.Bottom};
                    free.Left += w;
                    break;
                case TRpAlign::alRight:
                    rects[i] = {free.Right - w, free.Top, free.Right, free.Bottom};
                    free.Right -= w;
                    break;
                default:
                    rects[i] = free;
                    break;
            }
        }
    }
    return rects;
}
}  // namespace

// ---- TRpPage ------------------------------------------------------------------------------------

TRpPage::TRpPage(std::string AName)
    : TRpControl(std::move(AName)), FDoc(std::make_unique<TPdfDocument>()) {
    SetBounds(0, 0, 596, 842);
    FDoc->SetVirtualMode();
}

TRpPage::~TRpPage() = default;

bool TRpPage::AcceptMargin(int Value, int Current) const {
    return Value >= 0 && Value != Current && Value < Width() / 2.0;
}

void TRpPage::SetMarginTop(int Value) {
    if (AcceptMargin(Value, FMarginTop))
        FMarginTop = Value;
}
void TRpPage::SetMarginLeft(int Value) {
    if (AcceptMargin(Value, FMarginLeft))
        FMarginLeft = Value;
}
void TRpPage::SetMarginRight(int Value) {
    if (AcceptMargin(Value, FMarginRight))
        FMarginRight = Value;
}
void TRpPage::SetMarginBottom(int Value) {
    if (AcceptMargin(Value, FMarginBottom))
        FMarginBottom = Value;
}

void TRpPage::PrintPage(TRpCanvas& ACanvas) {
    TPdfCanvas* pdf = ACanvas.PdfCanvas();
    if (pdf == nullptr)
        throw EInvalidOperation("document is null..");
    pdf->SetPageHeight(Height());
    pdf->SetPageWidth(Width());
    if (FPrintPageEvent)
        FPrintPageEvent(*this, ACanvas);
    const TRpRect client{FMarginLeft, FMarginTop, Width() - FMarginRight, Height() - FMarginBottom};
    const std::vector<TRpRect> rects = ChildRects(*this, client, 0, 0);
    for (int i = 0; i < ControlCount(); ++i) {
        if (auto* panel = dynamic_cast<TRpPanel*>(Controls(i)))
            panel->PrintPanel(ACanvas, rects[i]);
    }
}

// ---- panels -------------------------------------------------------------------------------------

TRpPanel::TRpPanel(std::string AName) : TRpControl(std::move(AName)) {
    SetHeight(100);
}

void TRpPanel::PrintPanel(TRpCanvas& ACanvas, const TRpRect& ARect) {
    const TRpRect client{ARect.Left, ARect.Top, ARect.Left + Width(), ARect.Top + Height()};
    const std::vector<TRpRect> rects = ChildRects(*this, client, ARect.Left, ARect.Top);
    for (int i = 0; i < ControlCount(); ++i) {
        TRpControl* child = Controls(i);
        if (auto* panel = dynamic_cast<TRpPanel*>(child)) {
            panel->PrintPanel(ACanvas, rects[i]);
        } else if (auto* item = dynamic_cast<TRpItem*>(child);
                   item != nullptr && item->Printable()) {
            item->PrintItem(ACanvas, rects[i]);
        }
    }
}

TRpLayoutPanel::TRpLayoutPanel(std::string AName) : TRpPanel(std::move(AName)) {}

void TRpLayoutPanel::CheckParent(const TRpControl& AParent) const {
    if (dynamic_cast<const TRpPanel*>(&AParent) == nullptr &&
        dynamic_cast<const TRpPage*>(&AParent) == nullptr) {
        throw EReportError("TRpPage can not set on " + std::string(AParent.ClassName()));
    }
}

void TRpLayoutPanel::PrintPanel(TRpCanvas& ACanvas, const TRpRect& ARect) {
    if (FBeforePrint)
        FBeforePrint(*this, ACanvas, ARect);
    TRpPanel::PrintPanel(ACanvas, ARect);
    if (FAfterPrint)
        FAfterPrint(*this, ACanvas, ARect);
}

// ---- items --------------------------------------------------------------------------------------

TRpItem::TRpItem(std::string AName) : TRpControl(std::move(AName)) {
    SetBounds(0, 0, 100, 30);
}

void TRpItem::CheckParent(const TRpControl& AParent) const {
    if (dynamic_cast<const TRpPanel*>(&AParent) == nullptr) {
        throw EReportError("this component must set on TRpPanel");
    }
}

void TRpItem::PrintItem(TRpCanvas&, const TRpRect&) {}

void TRpCustomLabel::SetFontColor(TColor Value) {
    if (Value > 0x0FFFFFFF)
        throw EPdfInvalidValue("the color you selected is not allowed.");
    FFontColor = Value;
}

void TRpCustomLabel::SetFontSize(float Value) {
    if (Value > 0)
        FFontSize = Value;
}

void TRpCustomLabel::SetWordSpace(float Value) {
    if (Value >= 0)
        FWordSpace = Value;
}

std::string TRpCustomLabel::RegisteredFontName() const {
    static constexpr const char* kBase[] = {"FixedWidth", "Arial", "Times"};
    const int family = static_cast<int>(FFontName);
    if (FFontName == TRpFontName::fnTimesRoman) {
        if (FFontBold && FFontItalic)
            return "Times-BoldItalic";
        if (FFontBold)
            return "Times-Bold";
        if (FFontItalic)
            return "Times-Italic";
        return "Times-Roman";
    }
    std::string name = kBase[family];
    if (FFontBold && FFontItalic)
        return name + "-BoldItalic";
    if (FFontBold)
        return name + "-Bold";
    if (FFontItalic)
        return name + "-Italic";
    return name;
}

void TRpLabel::ApplyTextState(TPdfCanvas& ACanvas) const {
    ACanvas.SetFont(RegisteredFontName(), FontSize());
    ACanvas.SetRGBFillColor(FontColor());
    ACanvas.SetWordSpace(WordSpace());
    if (!FAlignJustified) {
        ACanvas.SetCharSpace(CharSpace());
        return;
    }
    ACanvas.SetCharSpace(0);
    const float w = ACanvas.TextWidth(FCaption);
    // Characters, a pair of surrogates counting once.
    int n = 0;
    for (char16_t c : Utf8ToUtf16(FCaption)) {
        if (c < 0xDC00 || c > 0xDFFF)
            ++n;
    }
    const float spacing = n >= 2 ? (Width() - w) / (n - 1) : 0.0f;
    if (spacing > 0)
        ACanvas.SetCharSpace(spacing);
}

float TRpLabel::GetTextWidth() {
    TRpPage* page = Page();
    if (page == nullptr)
        return 0;
    TPdfCanvas& canvas = page->MeasuringDocument().Canvas();
    ApplyTextState(canvas);
    return canvas.TextWidth(FCaption);
}

void TRpLabel::PrintItem(TRpCanvas& ACanvas, const TRpRect& ARect) {
    if (FCaption.empty())
        return;
    TPdfCanvas* pdf = ACanvas.PdfCanvas();
    if (pdf == nullptr)
        throw EInvalidOperation("document is null..");
    ApplyTextState(*pdf);
    ACanvas.TextRect(ARect, FCaption, FAlignment, FClipping);
}

std::string TRpImage::FreeImageName(TPdfDocument& ADoc) const {
    static std::minstd_rand random{std::random_device{}()};
    constexpr int kNumbers = 65535;  // 0 to 65534
    int number = std::uniform_int_distribution<int>(0, 65533)(random);
    for (int tried = 0; tried < kNumbers; ++tried) {
        std::string name = Name() + std::to_string(number);
        if (ADoc.GetXObject(name) == nullptr)
            return name;
        number = number == kNumbers - 1 ? 0 : number + 1;
    }
    throw EReportError("image count over max value..");
}

void TRpImage::PrintItem(TRpCanvas& ACanvas, const TRpRect& ARect) {
    if (!FPicture || FPicture->IsEmpty())
        return;
    TPdfCanvas* pdf = ACanvas.PdfCanvas();
    if (pdf == nullptr)
        throw EInvalidOperation("document is null..");
    TPdfDocument& doc = *pdf->GetDoc();
    std::string name;
    if (FSharedImage) {
        name = Name();
        if (doc.GetXObject(name) == nullptr)
            doc.AddXObject(name, MakeImage(FPicture, "Pdf-Bitmap"));
    } else {
        name = FreeImageName(doc);
        doc.AddXObject(name, MakeImage(FPicture, "Pdf-Bitmap"));
    }
    TRpPage* page = Page();
    const int pageHeight = page != nullptr ? page->Height() : ACanvas.PageHeight();
    if (FStretch) {
        pdf->DrawXObject(
            static_cast<float>(ARect.Left), static_cast<float>(pageHeight - ARect.Bottom),
            static_cast<float>(ARect.Width()), static_cast<float>(ARect.Height()), name);
    } else {
        pdf->DrawXObjectEx(static_cast<float>(ARect.Left),
                           static_cast<float>(pageHeight - ARect.Top - FPicture->height),
                           static_cast<float>(FPicture->width),
                           static_cast<float>(FPicture->height), static_cast<float>(ARect.Left),
                           static_cast<float>(pageHeight - ARect.Top - ARect.Height()),
                           static_cast<float>(ARect.Width()), static_cast<float>(ARect.Height()),
                           name);
    }
}

// ---- TRpReport ----------------------------------------------------------------------------------

TRpReport::TRpReport() : FCreationDate(PdfNow()) {}

TRpReport::~TRpReport() {
    Abort();
}

void TRpReport::CheckClosed(const char* setter) const {
    if (FDoc)
        throw EPdfInvalidOperation(std::string(setter) + " --invalid operation.");
}

void TRpReport::SetAuthor(std::string Value) {
    CheckClosed("SetAuthor");
    FAuthor = std::move(Value);
}
void TRpReport::SetCreationDate(double Value) {
    CheckClosed("SetCreationDate");
    FCreationDate = Value;
}
void TRpReport::SetCreator(std::string Value) {
    CheckClosed("SetCreator");
    FCreator = std::move(Value);
}
void TRpReport::SetKeywords(std::string Value) {
    CheckClosed("SetKeyWords");
    FKeywords = std::move(Value);
}
void TRpReport::SetModDate(double Value) {
    CheckClosed("SetModDate");
    FModDate = Value;
}
void TRpReport::SetSubject(std::string Value) {
    CheckClosed("SetSubject");
    FSubject = std::move(Value);
}
void TRpReport::SetTitle(std::string Value) {
    CheckClosed("SetTitle");
    FTitle = std::move(Value);
}
void TRpReport::SetPageLayout(TPdfPageLayout Value) {
    CheckClosed("SetPageLayout");
    FPageLayout = Value;
}
void TRpReport::SetPageMode(TPdfPageMode Value) {
    CheckClosed("SetPageMode");
    FPageMode = Value;
}
void TRpReport::SetNonFullScreenPageMode(TPdfPageMode Value) {
    CheckClosed("SetNonFullScreenPageMode");
    FNonFullScreenPageMode = Value == TPdfPageMode::pmFullScreen ? TPdfPageMode::pmUseNone : Value;
}
void TRpReport::SetUseOutlines(bool Value) {
    CheckClosed("SetUseOutlines");
    FUseOutlines = Value;
}
void TRpReport::SetViewerPreference(TPdfViewerPreferences Value) {
    CheckClosed("SetViewerPreference");
    FViewerPreference = Value;
}

TPdfOutlineRoot* TRpReport::OutlineRoot() const {
    if (!FDoc || FOutlineRoot == nullptr) {
        throw EPdfInvalidOperation("GetOutlineRoot --invalid operation.");
    }
    return FOutlineRoot;
}

TPdfDestination* TRpReport::OpenAction() const {
    if (!FDoc)
        throw EPdfInvalidOperation("GetOpenAction --invalid operation.");
    return FDoc->Root().OpenAction();
}

void TRpReport::SetOpenAction(TPdfDestination* Value) {
    if (!FDoc)
        throw EPdfInvalidOperation("SetOpenAction --invalid operation.");
    FDoc->Root().SetOpenAction(Value);
}

TPdfDestination* TRpReport::CreateDestination() {
    if (!FDoc)
        throw EPdfInvalidOperation("CreateDestination --invalid operation.");
    return FDoc->CreateDestination();
}

void TRpReport::BeginDoc() {
    if (FDoc)
        Abort();
    auto doc = std::make_unique<TPdfDocument>();
    doc->SetUseOutlines(FUseOutlines);
    doc->SetCompressionMethod(FCompressionMethod);
    doc->NewDoc();
    if (FUseOutlines)
        FOutlineRoot = &doc->OutlineRoot();
    TPdfCatalog& root = doc->Root();
    root.SetPageMode(FPageMode);
    root.SetPageLayout(FPageLayout);
    if (FNonFullScreenPageMode != TPdfPageMode::pmUseNone) {
        root.SetNonFullScreenPageMode(FNonFullScreenPageMode);
    }
    if (FViewerPreference != 0)
        root.SetViewerPreference(FViewerPreference);
    TPdfInfo& info = doc->Info();
    info.SetAuthor(FAuthor);
    info.SetCreationDate(FCreationDate);
    info.SetCreator(FCreator);
    info.SetKeywords(FKeywords);
    info.SetModDate(FModDate);
    info.SetSubject(FSubject);
    info.SetTitle(FTitle);
    FDoc = std::move(doc);
    FPageNumber = 0;
}

void TRpReport::Print(TRpPage& APage) {
    if (!FDoc)
        throw EInvalidOperation("document is null..");
    FDoc->AddPage();
    ++FPageNumber;
    FCanvas.SetPdfCanvas(&FDoc->Canvas());
    APage.PrintPage(FCanvas);
}

void TRpReport::FinishDoc() {
    FCanvas.SetPdfCanvas(nullptr);
    FDoc.reset();
    FOutlineRoot = nullptr;
}

void TRpReport::EndDoc() {
    if (!FDoc)
        throw EInvalidOperation("document is null..");
    ReplaceFile(FFileName, [this](TPdfOutputStream& stream) { FDoc->SaveToStream(stream); });
    FinishDoc();
}

void TRpReport::EndDoc(TPdfOutputStream& AStream) {
    if (!FDoc)
        throw EInvalidOperation("document is null..");
    FDoc->SaveToStream(AStream);
    FinishDoc();
}

void TRpReport::Abort() {
    FinishDoc();
}

}  // namespace halvik
