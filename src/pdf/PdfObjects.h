// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// PDF values, the cross-reference table and the file frame. Texts passed in are UTF-8; string
// values are kept as UTF-16 code units and written in code page 1252, the byte form of the
// WinAnsiEncoding that the fonts declare.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/PdfErrors.h"
#include "pdf/PdfStreams.h"
#include "pdf/PdfText.h"

namespace halvik {

// ---- objects ------------------------------------------------------------------------------

enum class TPdfObjectType { otDirectObject = 0, otIndirectObject = 1, otVirtualObject = 2 };

// What kind of value an object is; the typed look-ups test it instead of the run-time type.
enum class TPdfObjectKind {
    Other,
    Null,
    Boolean,
    Number,
    Real,
    String,
    Text,
    Name,
    Array,
    Dictionary,
    Stream,
    XObject,
    Image,
    Binary,
    Virtual
};

class TPdfObjectMgr;

class TPdfObject {
  public:
    TPdfObject() = default;
    virtual ~TPdfObject() = default;
    TPdfObject(const TPdfObject&) = delete;
    TPdfObject& operator=(const TPdfObject&) = delete;

    std::int32_t ObjectNumber() const { return FObjectNumber; }
    std::int32_t GenerationNumber() const { return FGenerationNumber; }
    TPdfObjectType ObjectType() const { return FObjectType; }
    bool IsDirect() const { return FObjectType == TPdfObjectType::otDirectObject; }

    // Indirect when Value > 0, direct otherwise.
    void SetObjectNumber(std::int32_t Value);

    // A reference ("3 0 R") for an object that is not direct, else the value itself.
    void WriteToStream(TPdfOutputStream& AStream);
    // The body "n 0 obj ... endobj" of an indirect object.
    void WriteValueToStream(TPdfOutputStream& AStream);

    virtual void WriteValue(TPdfOutputStream& AStream);
    virtual TPdfObjectKind Kind() const { return TPdfObjectKind::Other; }

  protected:
    TPdfObjectType FObjectType = TPdfObjectType::otDirectObject;
    std::int32_t FObjectNumber = -1;
    std::int32_t FGenerationNumber = 0;
};

class TPdfNull final : public TPdfObject {
  public:
    static constexpr TPdfObjectKind kKind = TPdfObjectKind::Null;
    TPdfObjectKind Kind() const override { return kKind; }
    void WriteValue(TPdfOutputStream& AStream) override;
};

class TPdfBoolean final : public TPdfObject {
  public:
    static constexpr TPdfObjectKind kKind = TPdfObjectKind::Boolean;
    TPdfObjectKind Kind() const override { return kKind; }
    explicit TPdfBoolean(bool AValue = false) : FValue(AValue) {}
    bool Value() const { return FValue; }
    void SetValue(bool AValue) { FValue = AValue; }
    void WriteValue(TPdfOutputStream& AStream) override;

  private:
    bool FValue;
};

class TPdfNumber final : public TPdfObject {
  public:
    static constexpr TPdfObjectKind kKind = TPdfObjectKind::Number;
    TPdfObjectKind Kind() const override { return kKind; }
    explicit TPdfNumber(std::int32_t AValue = 0) : FValue(AValue) {}
    std::int32_t Value() const { return FValue; }
    void SetValue(std::int32_t AValue) { FValue = AValue; }
    void WriteValue(TPdfOutputStream& AStream) override;

  private:
    std::int32_t FValue;
};

class TPdfReal final : public TPdfObject {
  public:
    static constexpr TPdfObjectKind kKind = TPdfObjectKind::Real;
    TPdfObjectKind Kind() const override { return kKind; }
    explicit TPdfReal(double AValue = 0) : FValue(AValue) {}
    double Value() const { return FValue; }
    void SetValue(double AValue) { FValue = AValue; }
    void WriteValue(TPdfOutputStream& AStream) override;

  private:
    double FValue;
};

// A literal string, or a hexadecimal string of its code units when it holds a surrogate.
class TPdfString : public TPdfObject {
  public:
    static constexpr TPdfObjectKind kKind = TPdfObjectKind::String;
    TPdfObjectKind Kind() const override { return kKind; }
    TPdfString() = default;
    explicit TPdfString(std::string_view utf8) : FValue(Utf8ToUtf16(utf8)) {}
    explicit TPdfString(std::u16string AValue) : FValue(std::move(AValue)) {}
    const std::u16string& Value() const { return FValue; }
    std::string Utf8Value() const { return Utf16ToUtf8(FValue); }
    void SetValue(std::u16string AValue) { FValue = std::move(AValue); }
    void WriteValue(TPdfOutputStream& AStream) override;

  protected:
    std::u16string FValue;
};

// A literal string, or a language-marked UTF-16BE hexadecimal string when it holds a surrogate.
class TPdfText final : public TPdfString {
  public:
    static constexpr TPdfObjectKind kKind = TPdfObjectKind::Text;
    TPdfObjectKind Kind() const override { return kKind; }
    using TPdfString::TPdfString;
    void WriteValue(TPdfOutputStream& AStream) override;
};

class TPdfName final : public TPdfObject {
  public:
    static constexpr TPdfObjectKind kKind = TPdfObjectKind::Name;
    TPdfObjectKind Kind() const override { return kKind; }
    explicit TPdfName(std::string AValue = {}) : FValue(std::move(AValue)) {}
    const std::string& Value() const { return FValue; }
    void SetValue(std::string AValue) { FValue = std::move(AValue); }
    void WriteValue(TPdfOutputStream& AStream) override;

  private:
    std::string FValue;  // UTF-8
};

// A reference placeholder: what a container holds in place of an indirect object.
class TPdfVirtualObject final : public TPdfObject {
  public:
    static constexpr TPdfObjectKind kKind = TPdfObjectKind::Virtual;
    TPdfObjectKind Kind() const override { return kKind; }
    // A placeholder needs the number it stands for: the plain constructor fails with
    // "virtualObject must be create by CreateVirtual method.".
    TPdfVirtualObject();
    static std::unique_ptr<TPdfVirtualObject> CreateVirtual(std::int32_t AObjectId);
    void WriteValue(TPdfOutputStream& AStream) override;

  private:
    struct Tag {};
    TPdfVirtualObject(Tag, std::int32_t AObjectId);
};

class TPdfArray final : public TPdfObject {
  public:
    static constexpr TPdfObjectKind kKind = TPdfObjectKind::Array;
    TPdfObjectKind Kind() const override { return kKind; }
    explicit TPdfArray(TPdfObjectMgr* AObjectMgr = nullptr) : FObjectMgr(AObjectMgr) {}

    // Takes a direct object (an object that is not direct is replaced by a placeholder).
    void AddItem(std::unique_ptr<TPdfObject> AItem);
    // Adds a reference to an indirect object owned by the cross-reference table.
    void AddItem(TPdfObject* AItem);

    // Appends numbers; each becomes a TPdfNumber item only when it is asked for, so long
    // lists such as a font's widths cost one allocation instead of one per number.
    void AddNumbers(const std::int32_t* values, std::size_t count);

    // The item, a placeholder resolved through the object manager (null when there is none).
    TPdfObject* Items(int Index) const;
    int ItemCount() const { return static_cast<int>(FArray.size() + FNumbers.size()); }
    // The value of a number item, without making it an object; false for other items.
    bool NumberAt(int Index, std::int32_t& AValue) const;
    TPdfName* FindName(std::string_view AName) const;
    bool RemoveName(std::string_view AName);
    TPdfObjectMgr* ObjectMgr() const { return FObjectMgr; }

    void WriteValue(TPdfOutputStream& AStream) override;

  private:
    void MakeNumberObjects() const;

    mutable std::vector<std::unique_ptr<TPdfObject>> FArray;
    mutable std::vector<std::int32_t> FNumbers;  // items after FArray, not yet objects
    TPdfObjectMgr* FObjectMgr;
};

class TPdfDictionary;
class TPdfStream;

class TPdfDictionaryElement {
  public:
    // Fails with EPdfInvalidValue "internal error. wrong object." when AValue is null.
    TPdfDictionaryElement(std::string AKey, std::unique_ptr<TPdfObject> AValue, bool AIsInternal);
    const TPdfName& Key() const { return FKey; }
    TPdfObject* Value() const { return FValue.get(); }
    bool IsInternal() const { return FIsInternal; }

  private:
    TPdfName FKey;
    std::unique_ptr<TPdfObject> FValue;
    bool FIsInternal;
};

class TPdfDictionary final : public TPdfObject {
  public:
    static constexpr TPdfObjectKind kKind = TPdfObjectKind::Dictionary;
    TPdfObjectKind Kind() const override { return kKind; }
    explicit TPdfDictionary(TPdfObjectMgr* AObjectMgr = nullptr) : FObjectMgr(AObjectMgr) {}

    // Replaces an element of the same key, which moves the key to the end.
    void AddItem(std::string_view AKey, std::unique_ptr<TPdfObject> AValue);
    void AddItem(std::string_view AKey, TPdfObject* AIndirectValue);  // a reference
    void AddNumberItem(std::string_view AKey, std::int32_t AValue);
    void AddNameItem(std::string_view AKey, std::string AValue);
    void AddInternalItem(std::string_view AKey, std::unique_ptr<TPdfObject> AValue);
    void RemoveItem(std::string_view AKey);

    TPdfObject* ValueByName(std::string_view AKey) const;
    // Typed look-ups: null when absent or of another kind.
    TPdfNumber* PdfNumberByName(std::string_view AKey) const;
    TPdfText* PdfTextByName(std::string_view AKey) const;
    TPdfReal* PdfRealByName(std::string_view AKey) const;
    TPdfString* PdfStringByName(std::string_view AKey) const;
    TPdfName* PdfNameByName(std::string_view AKey) const;
    TPdfDictionary* PdfDictionaryByName(std::string_view AKey) const;
    TPdfArray* PdfArrayByName(std::string_view AKey) const;
    TPdfBoolean* PdfBooleanByName(std::string_view AKey) const;

    const TPdfDictionaryElement& Items(int Index) const { return *FArray[Index]; }
    int ItemCount() const { return static_cast<int>(FArray.size()); }
    TPdfObjectMgr* ObjectMgr() const { return FObjectMgr; }

    void WriteValue(TPdfOutputStream& AStream) override;

  private:
    void Put(std::string_view AKey, std::unique_ptr<TPdfObject> AValue, bool AIsInternal);
    TPdfObject* Resolve(TPdfObject* AValue) const;

    std::vector<std::unique_ptr<TPdfDictionaryElement>> FArray;
    TPdfObjectMgr* FObjectMgr;
};

class TPdfStream : public TPdfObject {
  public:
    static constexpr TPdfObjectKind kKind = TPdfObjectKind::Stream;
    TPdfObjectKind Kind() const override { return kKind; }
    // Attributes start as Length 0 and Filter [].
    explicit TPdfStream(TPdfObjectMgr* AObjectMgr = nullptr);

    TPdfDictionary& Attributes() { return FAttributes; }
    const TPdfDictionary& Attributes() const { return FAttributes; }
    // The bytes; data still held as a source is made first.
    TPdfByteBuffer& Stream();
    const TPdfByteBuffer& Stream() const;

    // Replaces the bytes with data made only when the stream is written (or read).
    void SetSource(std::unique_ptr<TPdfStreamSource> ASource);
    bool HasSource() const { return FSource != nullptr; }
    // The number of data bytes, without making them.
    std::size_t DataSize() const { return FSource ? FSource->Size() : FStream.Size(); }

    // When set, the bytes are written deflated (zlib) with a FlateDecode filter; off by
    // default, so documents that do not ask for it stay byte for byte as they were.
    void SetCompressed(bool Value) { FCompressed = Value; }
    bool Compressed() const { return FCompressed; }

    void WriteValue(TPdfOutputStream& AStream) override;

  private:
    void Materialize() const;

    TPdfDictionary FAttributes;
    bool FCompressed = false;
    mutable TPdfByteBuffer FStream;
    mutable std::unique_ptr<TPdfStreamSource> FSource;
};

class TPdfXObject : public TPdfStream {
  public:
    static constexpr TPdfObjectKind kKind = TPdfObjectKind::XObject;
    TPdfObjectKind Kind() const override { return kKind; }
    using TPdfStream::TPdfStream;
};

class TPdfImage final : public TPdfXObject {
  public:
    static constexpr TPdfObjectKind kKind = TPdfObjectKind::Image;
    TPdfObjectKind Kind() const override { return kKind; }
    using TPdfXObject::TPdfXObject;
};

// Bytes written verbatim.
class TPdfBinary final : public TPdfObject {
  public:
    static constexpr TPdfObjectKind kKind = TPdfObjectKind::Binary;
    TPdfObjectKind Kind() const override { return kKind; }
    TPdfByteBuffer& Stream() { return FStream; }
    const TPdfByteBuffer& Stream() const { return FStream; }
    void WriteValue(TPdfOutputStream& AStream) override;

  private:
    TPdfByteBuffer FStream;
};

// The object as a T, or null when it is of another kind (derived kinds included).
template <class T>
T* PdfCast(TPdfObject* AObject) {
    if (AObject == nullptr)
        return nullptr;
    const TPdfObjectKind kind = AObject->Kind();
    bool match = kind == T::kKind;
    if constexpr (T::kKind == TPdfObjectKind::String)
        match = match || kind == TPdfObjectKind::Text;
    if constexpr (T::kKind == TPdfObjectKind::Stream) {
        match = match || kind == TPdfObjectKind::XObject || kind == TPdfObjectKind::Image;
    }
    if constexpr (T::kKind == TPdfObjectKind::XObject)
        match = match || kind == TPdfObjectKind::Image;
    return match ? static_cast<T*>(AObject) : nullptr;
}

// Constructors by value, as the rest of the writer uses them.
std::unique_ptr<TPdfBoolean> CreateBoolean(bool AValue);
std::unique_ptr<TPdfNumber> CreateNumber(std::int32_t AValue);
std::unique_ptr<TPdfReal> CreateReal(double AValue);
std::unique_ptr<TPdfString> CreateString(std::string_view AValue);
std::unique_ptr<TPdfText> CreateText(std::string_view AValue);
std::unique_ptr<TPdfName> CreateName(std::string_view AValue);
std::unique_ptr<TPdfArray> CreateArray(TPdfObjectMgr* AObjectMgr);
std::unique_ptr<TPdfArray> CreateNumArray(TPdfObjectMgr* AObjectMgr,
                                          std::initializer_list<std::int32_t> values);
std::unique_ptr<TPdfDictionary> CreateDictionary(TPdfObjectMgr* AObjectMgr);
std::unique_ptr<TPdfStream> CreateStream(TPdfObjectMgr* AObjectMgr);

// ---- cross-reference table and file frame -------------------------------------------------

class TPdfObjectMgr {
  public:
    virtual ~TPdfObjectMgr() = default;
    virtual void AddObject(std::unique_ptr<TPdfObject> AObject) = 0;
    virtual TPdfObject* GetObject(std::int32_t ObjectID) const = 0;
};

class TPdfXrefEntry {
  public:
    TPdfXrefEntry(std::string AEntryType, std::int32_t AGenerationNumber,
                  std::unique_ptr<TPdfObject> AValue);
    const std::string& EntryType() const { return FEntryType; }
    std::int32_t ByteOffset() const { return FByteOffset; }
    void SetByteOffset(std::int32_t Value) { FByteOffset = Value; }
    std::int32_t GenerationNumber() const { return FGenerationNumber; }
    TPdfObject* Value() const { return FValue.get(); }
    // "oooooooooo ggggg t" followed by CR LF: 20 bytes.
    std::string AsString() const;

  private:
    std::string FEntryType;
    std::int32_t FByteOffset = -1;
    std::int32_t FGenerationNumber;
    std::unique_ptr<TPdfObject> FValue;
};

class TPdfXref final : public TPdfObjectMgr {
  public:
    TPdfXref();  // holds entry 0: free, generation 65535

    // Numbers a direct object and takes it; fails with EPdfInvalidOperation
    // "AddObject --wrong object type." for an object that is not direct.
    void AddObject(std::unique_ptr<TPdfObject> AObject) override;
    // The same, handing back the numbered object.
    template <class T>
    T* Add(std::unique_ptr<T> AObject) {
        T* raw = AObject.get();
        AddObject(std::move(AObject));
        return raw;
    }
    TPdfObject* GetObject(std::int32_t ObjectID) const override;
    TPdfXrefEntry& Items(std::int32_t ObjectID) { return *FXrefEntries[ObjectID]; }
    int ItemCount() const { return static_cast<int>(FXrefEntries.size()); }

    void WriteToStream(TPdfOutputStream& AStream);  // the "xref" section

  private:
    std::vector<std::unique_ptr<TPdfXrefEntry>> FXrefEntries;
};

class TPdfHeader {
  public:
    void WriteToStream(TPdfOutputStream& AStream);  // "%PDF-1.2 " CR LF
};

class TPdfTrailer {
  public:
    explicit TPdfTrailer(TPdfObjectMgr* AObjectMgr);
    TPdfDictionary& Attributes() { return FAttributes; }
    std::int32_t XrefAddress() const { return FXrefAddress; }
    void SetXrefAddress(std::int32_t Value) { FXrefAddress = Value; }
    void WriteToStream(TPdfOutputStream& AStream);

  private:
    TPdfDictionary FAttributes;
    std::int32_t FXrefAddress = 0;
};

// A rectangle in PDF user space (y grows upwards).
struct TPdfRect {
    float Left = 0;
    float Top = 0;
    float Right = 0;
    float Bottom = 0;
    TPdfRect() = default;
    TPdfRect(float ALeft, float ATop, float ARight, float ABottom)
        : Left(ALeft), Top(ATop), Right(ARight), Bottom(ABottom) {}
};

}  // namespace halvik
