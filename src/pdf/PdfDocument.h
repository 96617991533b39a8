// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The document under construction (catalog, information, page tree, fonts, image XObjects)
// and the file save. Its page canvas is in PdfCanvas.h.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "pdf/PdfCanvas.h"
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
enum class TPdfDestinationType { dtXYZ, dtFit, dtFitH, dtFitV, dtFitR, dtFitB, dtFitBH, dtFitBV };
// cmFlateDecode deflates the pages' content streams (made after it is set); images are kept
// as they are.
enum class TPdfCompressionMethod { cmNone, cmFlateDecode };
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
