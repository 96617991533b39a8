// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/PdfDocument.h"

#include <limits>

#include "pdf/PdfClock.h"

namespace halvik {

namespace {
constexpr const char* kPageLayoutNames[] = {"SinglePage", "OneColumn", "TwoColumnLeft",
                                            "TwoColumnRight"};
constexpr const char* kPageModeNames[] = {"UseNone", "UseOutlines", "UseThumbs", "FullScreen"};
constexpr const char* kViewerPreferenceNames[] = {"HideToolbar", "HideMenubar", "HideWindowUI",
                                                  "FitWindow", "CenterWindow"};
constexpr const char* kDestinationNames[] = {"XYZ",  "Fit",  "FitH",  "FitV",
                                             "FitR", "FitB", "FitBH", "FitBV"};

template <std::size_t N>
int IndexOfName(const char* const (&names)[N], std::string_view name) {
    for (std::size_t i = 0; i < N; ++i) {
        if (name == names[i])
            return static_cast<int>(i);
    }
    return -1;
}
}  // namespace

// ---- information dictionary ---------------------------------------------------------------------

std::string TPdfInfo::TextOf(std::string_view key) const {
    TPdfString* value = FData ? FData->PdfStringByName(key) : nullptr;
    return value ? value->Utf8Value() : std::string();
}

double TPdfInfo::DateOf(std::string_view key) const {
    TPdfString* value = FData ? FData->PdfStringByName(key) : nullptr;
    if (value == nullptr)
        return 0;
    try {
        return ParsePdfDate(value->Utf8Value());
    } catch (const EPdfError&) {
        return 0;
    }
}

std::string TPdfInfo::Author() const {
    return TextOf("Author");
}
void TPdfInfo::SetAuthor(std::string_view Value) {
    FData->AddItem("Author", CreateText(Value));
}
double TPdfInfo::CreationDate() const {
    return DateOf("CreationDate");
}
void TPdfInfo::SetCreationDate(double Value) {
    FData->AddItem("CreationDate", CreateText(FormatPdfDate(Value)));
}
std::string TPdfInfo::Creator() const {
    return TextOf("Creator");
}
void TPdfInfo::SetCreator(std::string_view Value) {
    FData->AddItem("Creator", CreateText(Value));
}
std::string TPdfInfo::Keywords() const {
    return TextOf("Keywords");
}
void TPdfInfo::SetKeywords(std::string_view Value) {
    FData->AddItem("Keywords", CreateText(Value));
}
double TPdfInfo::ModDate() const {
    return DateOf("ModDate");
}
void TPdfInfo::SetModDate(double Value) {
    FData->AddItem("ModDate", CreateText(FormatPdfDate(Value)));
}
std::string TPdfInfo::Subject() const {
    return TextOf("Subject");
}
void TPdfInfo::SetSubject(std::string_view Value) {
    FData->AddItem("Subject", CreateText(Value));
}
std::string TPdfInfo::Title() const {
    return TextOf("Title");
}
void TPdfInfo::SetTitle(std::string_view Value) {
    FData->AddItem("Title", CreateText(Value));
}

// ---- catalog ------------------------------------------------------------------------------------

TPdfPageLayout TPdfCatalog::PageLayout() const {
    TPdfName* name = FData->PdfNameByName("PageLayout");
    int index = name ? IndexOfName(kPageLayoutNames, name->Value()) : -1;
    return index < 0 ? TPdfPageLayout::plSinglePage : static_cast<TPdfPageLayout>(index);
}

void TPdfCatalog::SetPageLayout(TPdfPageLayout Value) {
    const char* name = kPageLayoutNames[static_cast<int>(Value)];
    if (TPdfName* held = FData->PdfNameByName("PageLayout")) {
        held->SetValue(name);
    } else {
        FData->AddNameItem("PageLayout", name);
    }
}

TPdfPageMode TPdfCatalog::PageMode() const {
    TPdfName* name = FData->PdfNameByName("PageMode");
    int index = name ? IndexOfName(kPageModeNames, name->Value()) : -1;
    return index < 0 ? TPdfPageMode::pmUseNone : static_cast<TPdfPageMode>(index);
}

void TPdfCatalog::SetPageMode(TPdfPageMode Value) {
    const char* name = kPageModeNames[static_cast<int>(Value)];
    if (TPdfName* held = FData->PdfNameByName("PageMode")) {
        held->SetValue(name);
    } else {
        FData->AddNameItem("PageMode", name);
    }
}

namespace {
TPdfDictionary& ViewerPreferences(TPdfDictionary* catalog) {
    TPdfDictionary* prefs = catalog->PdfDictionaryByName("ViewerPreferences");
    if (prefs == nullptr) {
        catalog->AddItem("ViewerPreferences",
                         std::make_unique<TPdfDictionary>(catalog->ObjectMgr()));
        prefs = catalog->PdfDictionaryByName("ViewerPreferences");
    }
    return *prefs;
}
}  // namespace

TPdfPageMode TPdfCatalog::NonFullScreenPageMode() const {
    TPdfDictionary* prefs = FData->PdfDictionaryByName("ViewerPreferences");
    TPdfName* name = prefs ? prefs->PdfNameByName("NonFullScreenPageMode") : nullptr;
    int index = name ? IndexOfName(kPageModeNames, name->Value()) : -1;
    return index < 0 ? TPdfPageMode::pmUseNone : static_cast<TPdfPageMode>(index);
}

void TPdfCatalog::SetNonFullScreenPageMode(TPdfPageMode Value) {
    TPdfDictionary& prefs = ViewerPreferences(FData);
    if (Value == TPdfPageMode::pmUseNone || Value == TPdfPageMode::pmFullScreen) {
        prefs.RemoveItem("NonFullScreenPageMode");
        return;
    }
    const char* name = kPageModeNames[static_cast<int>(Value)];
    if (TPdfName* held = prefs.PdfNameByName("NonFullScreenPageMode")) {
        held->SetValue(name);
    } else {
        prefs.AddNameItem("NonFullScreenPageMode", name);
    }
}

TPdfViewerPreferences TPdfCatalog::ViewerPreference() const {
    TPdfDictionary* prefs = FData->PdfDictionaryByName("ViewerPreferences");
    TPdfViewerPreferences result = 0;
    if (prefs == nullptr)
        return result;
    for (int i = 0; i < 5; ++i) {
        TPdfBoolean* flag = prefs->PdfBooleanByName(kViewerPreferenceNames[i]);
        if (flag != nullptr && flag->Value())
            result |= 1u << i;
    }
    return result;
}

void TPdfCatalog::SetViewerPreference(TPdfViewerPreferences Value) {
    TPdfDictionary* prefs =
        Value != 0 ? &ViewerPreferences(FData) : FData->PdfDictionaryByName("ViewerPreferences");
    if (prefs == nullptr)
        return;
    for (int i = 0; i < 5; ++i) {
        if (Value & (1u << i)) {
            prefs->AddItem(kViewerPreferenceNames[i], CreateBoolean(true));
        } else {
            prefs->RemoveItem(kViewerPreferenceNames[i]);
        }
    }
}

TPdfDictionary* TPdfCatalog::Pages() const {
    TPdfDictionary* pages = FData->PdfDictionaryByName("Pages");
    if (pages == nullptr)
        throw EPdfInvalidOperation("GetPages --page object is null..");
    return pages;
}

void TPdfCatalog::SetPages(TPdfDictionary* Value) {
    if (Value == nullptr || Value->IsDirect())
        return;
    TPdfName* type = Value->PdfNameByName("Type");
    if (type != nullptr && type->Value() == "Pages")
        FData->AddItem("Pages", Value);
}

void TPdfCatalog::SaveOpenAction() {
    if (FOpenAction != nullptr) {
        FData->AddItem("OpenAction", FOpenAction->GetValue());
    } else {
        FData->RemoveItem("OpenAction");
    }
}

// ---- destinations and outlines ------------------------------------------------------------------

TPdfDestination::TPdfDestination(TPdfDocument* APdfDoc) : FPage(nullptr) {
    if (APdfDoc == nullptr || !APdfDoc->HasDoc()) {
        throw EPdfInvalidOperation("TPdfDestination --cannot destination object.");
    }
    FPage = APdfDoc->Canvas().Page();
}

void TPdfDestination::SetZoom(float Value) {
    if (!(Value >= 0))
        throw EPdfInvalidValue("Zoom property cannot set to under 0.");
    if (Value > 10)
        throw EPdfInvalidValue("Zoom property cannot set to over 10.");
    FZoom = Value;
}

std::unique_ptr<TPdfArray> TPdfDestination::GetValue() const {
    auto array = std::make_unique<TPdfArray>(FPage->ObjectMgr());
    array->AddItem(FPage);
    array->AddItem(CreateName(kDestinationNames[static_cast<int>(FType)]));
    auto position = [&](float v) -> std::unique_ptr<TPdfObject> {
        if (v < -100)
            return std::make_unique<TPdfNull>();
        return CreateReal(v);
    };
    switch (FType) {
        case TPdfDestinationType::dtXYZ:
            array->AddItem(position(Left()));
            array->AddItem(position(Top()));
            array->AddItem(CreateReal(FZoom));
            break;
        case TPdfDestinationType::dtFitH:
        case TPdfDestinationType::dtFitBH:
            array->AddItem(position(Top()));
            break;
        case TPdfDestinationType::dtFitV:
        case TPdfDestinationType::dtFitBV:
            array->AddItem(position(Left()));
            break;
        case TPdfDestinationType::dtFitR:
            array->AddItem(position(Left()));
            array->AddItem(CreateReal(Bottom()));
            array->AddItem(CreateReal(Right()));
            array->AddItem(position(Top()));
            break;
        case TPdfDestinationType::dtFit:
        case TPdfDestinationType::dtFitB:
            break;
    }
    return array;
}

TPdfOutlineEntry::TPdfOutlineEntry(TPdfDocument* ADoc, TPdfOutlineEntry* AParent)
    : FDoc(ADoc), FParent(AParent) {}

TPdfOutlineEntry* TPdfOutlineEntry::AddChild() {
    auto entry = std::make_unique<TPdfOutlineEntry>(FDoc, this);
    entry->SetData(FDoc->Xref().Add(std::make_unique<TPdfDictionary>(&FDoc->Xref())));
    TPdfOutlineEntry* raw = entry.get();
    FDoc->FObjectList.push_back(std::move(entry));
    FChildren.push_back(raw);
    return raw;
}

int TPdfOutlineEntry::DescendantCount() const {
    int count = 0;
    for (const TPdfOutlineEntry* child : FChildren)
        count += 1 + child->DescendantCount();
    return count;
}

void TPdfOutlineEntry::Save() {
    if (FParent == nullptr)
        throw EPdfError("CreateEntry --invalid parent.");
    const int count = DescendantCount();
    FData->AddNumberItem("Count", FOpened ? count : -count);
    FData->AddItem("Title", CreateText(FTitle));
    if (FDest != nullptr)
        FData->AddItem("Dest", FDest->GetValue());
    // Readers need the way up as much as the way down.
    FData->AddItem("Parent", FParent->Data());
    if (!FChildren.empty()) {
        FData->AddItem("First", FChildren.front()->Data());
        FData->AddItem("Last", FChildren.back()->Data());
    }
    const auto& siblings = FParent->Children();
    for (std::size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i] != this)
            continue;
        if (i > 0)
            FData->AddItem("Prev", siblings[i - 1]->Data());
        if (i + 1 < siblings.size())
            FData->AddItem("Next", siblings[i + 1]->Data());
    }
    for (TPdfOutlineEntry* child : FChildren)
        child->Save();
}

TPdfOutlineRoot::TPdfOutlineRoot(TPdfDocument* ADoc) : TPdfOutlineEntry(ADoc, nullptr) {}

void TPdfOutlineRoot::Save() {
    FData->AddNumberItem("Count", DescendantCount());
    if (!FChildren.empty()) {
        FData->AddItem("First", FChildren.front()->Data());
        FData->AddItem("Last", FChildren.back()->Data());
    }
    for (TPdfOutlineEntry* child : FChildren)
        child->Save();
}

// ---- document -----------------------------------------------------------------------------------

TPdfDocument::TPdfDocument() : FCanvas(std::make_unique<TPdfCanvas>(this)) {}

TPdfDocument::~TPdfDocument() {
    FreeDoc();
}

void TPdfDocument::NewDoc() {
    FreeDoc();
    FXref = std::make_unique<TPdfXref>();
    FHeader = std::make_unique<TPdfHeader>();
    FTrailer = std::make_unique<TPdfTrailer>(FXref.get());
    FXObjectList = std::make_unique<TPdfArray>(FXref.get());
    FCanvas->SetIsVirtual(false);

    auto catalog = std::make_unique<TPdfCatalog>();
    TPdfDictionary* root = FXref->Add(std::make_unique<TPdfDictionary>(FXref.get()));
    root->AddNameItem("Type", "Catalog");
    FTrailer->Attributes().AddItem("Root", root);
    catalog->SetData(root);
    FRoot = catalog.get();
    FObjectList.push_back(std::move(catalog));

    if (FUseOutlines) {
        auto outlineRoot = std::make_unique<TPdfOutlineRoot>(this);
        TPdfDictionary* outlines = FXref->Add(std::make_unique<TPdfDictionary>(FXref.get()));
        outlines->AddNameItem("Type", "Outlines");
        root->AddItem("Outlines", outlines);
        outlineRoot->SetData(outlines);
        FOutlineRoot = outlineRoot.get();
        FObjectList.push_back(std::move(outlineRoot));
    }

    auto info = std::make_unique<TPdfInfo>();
    TPdfDictionary* infoData = FXref->Add(std::make_unique<TPdfDictionary>(FXref.get()));
    infoData->AddItem("Producer", CreateText("Halvik PDF version 1"));
    FTrailer->Attributes().AddItem("Info", infoData);
    info->SetData(infoData);
    FInfo = info.get();
    FObjectList.push_back(std::move(info));
    FInfo->SetCreationDate(PdfNow());

    TPdfDictionary* pages = FXref->Add(std::make_unique<TPdfDictionary>(FXref.get()));
    pages->AddNameItem("Type", "Pages");
    pages->AddItem("Kids", std::make_unique<TPdfArray>(FXref.get()));
    pages->AddNumberItem("Count", 0);
    root->AddItem("Pages", pages);
    FCurrentPages = pages;
    FHasDoc = true;
}

void TPdfDocument::FreeDoc() {
    if (!FHasDoc)
        return;
    FCanvas->Detach();
    FXObjectList.reset();
    FXObjectIndex.clear();
    while (!FFontList.empty())
        FFontList.pop_back();
    FDestinations.clear();
    while (!FObjectList.empty())
        FObjectList.pop_back();
    FXref.reset();
    FHeader.reset();
    FTrailer.reset();
    FInfo = nullptr;
    FRoot = nullptr;
    FOutlineRoot = nullptr;
    FCurrentPages = nullptr;
    FHasDoc = false;
}

void TPdfDocument::AddPage() {
    if (FCurrentPages == nullptr)
        throw EPdfInvalidOperation("AddPage --current pages null.");
    TPdfDictionary* page = FXref->Add(std::make_unique<TPdfDictionary>(FXref.get()));
    TPdfArray* kids = FCurrentPages->PdfArrayByName("Kids");
    kids->AddItem(page);
    FCurrentPages->AddNumberItem("Count", kids->ItemCount());

    page->AddNameItem("Type", "Page");
    page->AddItem("Parent", FCurrentPages);
    page->AddItem("MediaBox",
                  CreateNumArray(FXref.get(), {0, 0, FDefaultPageWidth, FDefaultPageHeight}));
    auto resources = std::make_unique<TPdfDictionary>(FXref.get());
    resources->AddItem("Font", std::make_unique<TPdfDictionary>(FXref.get()));
    resources->AddItem("XObject", std::make_unique<TPdfDictionary>(FXref.get()));
    auto procSet = std::make_unique<TPdfArray>(FXref.get());
    for (const char* name : {"PDF", "Text", "ImageC"})
        procSet->AddItem(CreateName(name));
    resources->AddItem("ProcSet", std::move(procSet));
    page->AddItem("Resources", std::move(resources));
    TPdfStream* contents = FXref->Add(std::make_unique<TPdfStream>(FXref.get()));
    contents->SetCompressed(FCompressionMethod == TPdfCompressionMethod::cmFlateDecode);
    page->AddItem("Contents", contents);

    FCanvas->SetPage(page);
}

std::unique_ptr<TPdfFont> TPdfDocument::CreateFont(std::string_view FontName) {
    TPdfFontFactory factory = FindFontClass(FontName);
    std::unique_ptr<TPdfFont> font = factory(FXref.get(), std::string(FontName));
    std::string name = std::to_string(FFontList.size());
    name.insert(name.begin(), 'F');
    font->Data()->AddNameItem("Name", std::move(name));
    return font;
}

TPdfFont* TPdfDocument::GetFont(std::string_view FontName) {
    if (!FHasDoc)
        throw EPdfInvalidOperation("GetFont --document is null.");
    for (const auto& font : FFontList) {
        if (font->Name() == FontName)
            return font.get();
    }
    FFontList.push_back(CreateFont(FontName));
    return FFontList.back().get();
}

TPdfStream* TPdfDocument::GetXObject(std::string_view AName) const {
    auto it = FXObjectIndex.find(std::string(AName));
    return it == FXObjectIndex.end() ? nullptr : it->second;
}

void TPdfDocument::AddXObject(std::string_view AName, std::unique_ptr<TPdfStream> AXObject) {
    if (!FHasDoc)
        throw EPdfInvalidOperation("AddImage --document is null.");
    if (GetXObject(AName) != nullptr) {
        throw EPdfError("AddImage --the image named " + std::string(AName) +
                        " is already exists..");
    }
    TPdfName* type = AXObject ? AXObject->Attributes().PdfNameByName("Type") : nullptr;
    TPdfName* subtype = AXObject ? AXObject->Attributes().PdfNameByName("Subtype") : nullptr;
    if (type == nullptr || type->Value() != "XObject" || subtype == nullptr ||
        subtype->Value() != "Image") {
        throw EPdfError("AddImage --the image is not valid TPdfImage..");
    }
    TPdfStream* xObject = FXref->Add(std::move(AXObject));
    RegisterXObject(xObject, AName);
}

void TPdfDocument::RegisterXObject(TPdfStream* AObject, std::string_view AName) {
    if (AObject == nullptr)
        throw EPdfInvalidValue("RegisterXObject --AObject is null");
    TPdfName* type = AObject->Attributes().PdfNameByName("Type");
    if (type == nullptr || type->Value() != "XObject") {
        throw EPdfInvalidValue("RegisterXObject --not XObject");
    }
    if (!FHasDoc)
        throw EPdfInvalidOperation("AddImage --document is null.");
    if (AObject->ObjectType() != TPdfObjectType::otIndirectObject ||
        FXref->GetObject(AObject->ObjectNumber()) != AObject) {
        throw EPdfInvalidValue("RegisterXObject --the object is not numbered in this document");
    }
    if (AObject->Attributes().ValueByName("Name") != nullptr)
        return;
    if (GetXObject(AName) != nullptr) {
        throw EPdfInvalidValue("RegisterXObject --dupulicate name: " + std::string(AName));
    }
    FXObjectList->AddItem(static_cast<TPdfObject*>(AObject));
    AObject->Attributes().AddNameItem("Name", std::string(AName));
    FXObjectIndex.emplace(std::string(AName), AObject);
}

void TPdfDocument::SaveToStream(TPdfOutputStream& AStream) {
    if (!FHasDoc)
        throw EPdfInvalidOperation("SaveToStream --there is no document to save.");
    (void)FCanvas->Page();  // a document needs a page
    FInfo->SetModDate(PdfNow());
    FRoot->SaveOpenAction();
    if (FUseOutlines && FOutlineRoot != nullptr)
        FOutlineRoot->Save();

    AStream.Rewind();
    FHeader->WriteToStream(AStream);
    auto offset = [&]() {
        const std::int64_t position = AStream.Position();
        if (position > std::numeric_limits<std::int32_t>::max()) {
            throw EPdfInvalidOperation("SaveToStream --the document is too large.");
        }
        return static_cast<std::int32_t>(position);
    };
    const int count = FXref->ItemCount();
    for (int i = 1; i < count; ++i) {
        TPdfXrefEntry& entry = FXref->Items(i);
        entry.SetByteOffset(offset());
        entry.Value()->WriteValueToStream(AStream);
    }
    FTrailer->SetXrefAddress(offset());
    FXref->WriteToStream(AStream);
    if (TPdfNumber* size = FTrailer->Attributes().PdfNumberByName("Size")) {
        size->SetValue(count);  // keeps its place before Root and Info
    } else {
        FTrailer->Attributes().AddNumberItem("Size", count);
    }
    FTrailer->WriteToStream(AStream);
}

void TPdfDocument::SetVirtualMode() {
    NewDoc();
    AddPage();
    FCanvas->SetIsVirtual(true);
}

TPdfDestination* TPdfDocument::CreateDestination() {
    FDestinations.push_back(std::make_unique<TPdfDestination>(this));
    return FDestinations.back().get();
}

TPdfCanvas& TPdfDocument::Canvas() {
    if (!FHasDoc)
        throw EPdfInvalidOperation("GetCanvas --Document is null");
    return *FCanvas;
}

TPdfInfo& TPdfDocument::Info() {
    if (!FHasDoc)
        throw EPdfInvalidOperation("GetInfo --this method can not use this state..");
    return *FInfo;
}

TPdfCatalog& TPdfDocument::Root() {
    if (!FHasDoc)
        throw EPdfInvalidOperation("GetRoot --this method can not use this state..");
    return *FRoot;
}

TPdfOutlineRoot& TPdfDocument::OutlineRoot() {
    if (!FHasDoc)
        throw EPdfInvalidOperation("GetOutlineRoot --document is null..");
    if (!FUseOutlines || FOutlineRoot == nullptr) {
        throw EPdfInvalidOperation("GetOutlineRoot --not use outline mode..");
    }
    return *FOutlineRoot;
}

TPdfXref& TPdfDocument::Xref() {
    if (!FHasDoc)
        throw EPdfInvalidOperation("GetXref --document is null.");
    return *FXref;
}

}  // namespace halvik
