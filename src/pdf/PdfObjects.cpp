// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/PdfObjects.h"

#include <zlib.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace halvik {

// ---- objects ----------------------------------------------------------------------------------

namespace {
void WriteInt(TPdfOutputStream& s, std::int64_t value) {
    char digits[24];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    s.Write(digits, static_cast<std::size_t>(result.ptr - digits));
}

constexpr char kHex[] = "0123456789ABCDEF";

// Uppercase hexadecimal with at least two digits.
void AppendHexMin2(std::string& out, unsigned value) {
    char digits[8];
    int n = 0;
    do {
        digits[n++] = kHex[value & 0xF];
        value >>= 4;
    } while (value != 0);
    if (n < 2)
        digits[n++] = '0';
    while (n > 0)
        out.push_back(digits[--n]);
}
}  // namespace

void TPdfObject::SetObjectNumber(std::int32_t Value) {
    FObjectNumber = Value;
    FObjectType = Value > 0 ? TPdfObjectType::otIndirectObject : TPdfObjectType::otDirectObject;
}

void TPdfObject::WriteToStream(TPdfOutputStream& AStream) {
    if (FObjectType == TPdfObjectType::otDirectObject) {
        WriteValue(AStream);
        return;
    }
    WriteInt(AStream, FObjectNumber);
    AStream.Write(" ", 1);
    WriteInt(AStream, FGenerationNumber);
    AStream.Write(" R");
}

void TPdfObject::WriteValueToStream(TPdfOutputStream& AStream) {
    if (FObjectType != TPdfObjectType::otIndirectObject) {
        throw EPdfInvalidOperation("internal error wrong object type");
    }
    WriteInt(AStream, FObjectNumber);
    AStream.Write(" ", 1);
    WriteInt(AStream, FGenerationNumber);
    AStream.Write(" obj\r\n");
    WriteValue(AStream);
    AStream.Write("\r\nendobj\r\n");
}

void TPdfObject::WriteValue(TPdfOutputStream&) {}

void TPdfNull::WriteValue(TPdfOutputStream& AStream) {
    AStream.Write("null");
}

void TPdfBoolean::WriteValue(TPdfOutputStream& AStream) {
    AStream.Write(FValue ? std::string_view("true") : std::string_view("false"));
}

void TPdfNumber::WriteValue(TPdfOutputStream& AStream) {
    WriteInt(AStream, FValue);
}

void TPdfReal::WriteValue(TPdfOutputStream& AStream) {
    AStream.Write(GeneralDecimal(FValue));
}

void TPdfString::WriteValue(TPdfOutputStream& AStream) {
    if (!IsWideText(FValue)) {
        TPdfByteBuffer out;
        out.AppendByte('(');
        WriteText(std::u16string_view(EscapeText(FValue)), out);
        out.AppendByte(')');
        AStream.Write(out.Data(), out.Size());
        return;
    }
    std::string out = "<";
    for (char16_t c : FValue)
        AppendHexMin2(out, c);
    out.push_back('>');
    AStream.Write(out);
}

void TPdfText::WriteValue(TPdfOutputStream& AStream) {
    if (!IsWideText(FValue)) {
        TPdfString::WriteValue(AStream);
        return;
    }
    // Byte order mark, then the language escape for "en".
    std::string out = "<FEFF001B656E001B";
    for (char16_t c : FValue) {
        for (int shift = 12; shift >= 0; shift -= 4)
            out.push_back(kHex[(c >> shift) & 0xF]);
    }
    out.push_back('>');
    AStream.Write(out);
}

namespace {
// Characters a name spells as #xx: delimiters, "#", and everything outside 21 to 7E.
constexpr bool NeedsNameEscape(char16_t c) {
    if (c < 0x21 || c > 0x7E)
        return true;
    switch (c) {
        case '#':
        case '%':
        case '(':
        case ')':
        case '/':
        case '<':
        case '>':
        case '[':
        case ']':
        case '{':
        case '}':
            return true;
        default:
            return false;
    }
}
}  // namespace

void TPdfName::WriteValue(TPdfOutputStream& AStream) {
    bool plain = true;
    for (char c : FValue) {
        if (NeedsNameEscape(static_cast<unsigned char>(c)))
            plain = false;
    }
    if (plain) {
        char small[64];
        if (FValue.size() < sizeof small) {
            small[0] = '/';
            std::memcpy(small + 1, FValue.data(), FValue.size());
            AStream.Write(small, FValue.size() + 1);
            return;
        }
    }
    std::string out = "/";
    for (char16_t c : Utf8ToUtf16(FValue)) {
        if (NeedsNameEscape(c)) {
            out.push_back('#');
            AppendHexMin2(out, c);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    AStream.Write(out);
}

TPdfVirtualObject::TPdfVirtualObject() {
    throw EPdfError("virtualObject must be create by CreateVirtual method.");
}

TPdfVirtualObject::TPdfVirtualObject(Tag, std::int32_t AObjectId) {
    FObjectNumber = AObjectId;
    FObjectType = TPdfObjectType::otVirtualObject;
}

std::unique_ptr<TPdfVirtualObject> TPdfVirtualObject::CreateVirtual(std::int32_t AObjectId) {
    return std::unique_ptr<TPdfVirtualObject>(new TPdfVirtualObject(Tag{}, AObjectId));
}

void TPdfVirtualObject::WriteValue(TPdfOutputStream&) {}

// ---- array ------------------------------------------------------------------------------------

void TPdfArray::MakeNumberObjects() const {
    if (FNumbers.empty())
        return;
    FArray.reserve(FArray.size() + FNumbers.size());
    for (std::int32_t v : FNumbers)
        FArray.push_back(std::make_unique<TPdfNumber>(v));
    FNumbers.clear();
}

void TPdfArray::AddNumbers(const std::int32_t* values, std::size_t count) {
    FNumbers.insert(FNumbers.end(), values, values + count);
}

void TPdfArray::AddItem(std::unique_ptr<TPdfObject> AItem) {
    // A uniquely owned item cannot be in the list already, so there is nothing to look for.
    if (!AItem)
        throw EPdfInvalidValue("internal error. wrong object.");
    MakeNumberObjects();
    if (!AItem->IsDirect()) {
        FArray.push_back(TPdfVirtualObject::CreateVirtual(AItem->ObjectNumber()));
        return;
    }
    FArray.push_back(std::move(AItem));
}

void TPdfArray::AddItem(TPdfObject* AItem) {
    if (AItem == nullptr || AItem->IsDirect()) {
        throw EPdfInvalidValue("internal error. wrong object.");
    }
    MakeNumberObjects();
    FArray.push_back(TPdfVirtualObject::CreateVirtual(AItem->ObjectNumber()));
}

TPdfObject* TPdfArray::Items(int Index) const {
    if (Index < 0 || Index >= ItemCount())
        return nullptr;
    if (static_cast<std::size_t>(Index) >= FArray.size())
        MakeNumberObjects();
    TPdfObject* item = FArray[Index].get();
    if (item->ObjectType() != TPdfObjectType::otVirtualObject)
        return item;
    return FObjectMgr ? FObjectMgr->GetObject(item->ObjectNumber()) : nullptr;
}

bool TPdfArray::NumberAt(int Index, std::int32_t& AValue) const {
    if (Index < 0 || Index >= ItemCount())
        return false;
    if (static_cast<std::size_t>(Index) >= FArray.size()) {
        AValue = FNumbers[Index - FArray.size()];
        return true;
    }
    TPdfNumber* number = PdfCast<TPdfNumber>(FArray[Index].get());
    if (number == nullptr)
        return false;
    AValue = number->Value();
    return true;
}

TPdfName* TPdfArray::FindName(std::string_view AName) const {
    for (const auto& item : FArray) {
        auto* name = PdfCast<TPdfName>(item.get());
        if (name != nullptr && name->Value() == AName)
            return name;
    }
    return nullptr;
}

bool TPdfArray::RemoveName(std::string_view AName) {
    for (auto it = FArray.begin(); it != FArray.end(); ++it) {
        auto* name = PdfCast<TPdfName>(it->get());
        if (name != nullptr && name->Value() == AName) {
            FArray.erase(it);
            return true;
        }
    }
    return false;
}

void TPdfArray::WriteValue(TPdfOutputStream& AStream) {
    AStream.Write("[", 1);
    for (const auto& item : FArray) {
        item->WriteToStream(AStream);
        AStream.Write(" ", 1);
    }
    for (std::int32_t v : FNumbers) {
        WriteInt(AStream, v);
        AStream.Write(" ", 1);
    }
    AStream.Write("]", 1);
}

// ---- dictionary -------------------------------------------------------------------------------

TPdfDictionaryElement::TPdfDictionaryElement(std::string AKey, std::unique_ptr<TPdfObject> AValue,
                                             bool AIsInternal)
    : FKey(std::move(AKey)), FValue(std::move(AValue)), FIsInternal(AIsInternal) {
    if (!FValue)
        throw EPdfInvalidValue("internal error. wrong object.");
}

void TPdfDictionary::Put(std::string_view AKey, std::unique_ptr<TPdfObject> AValue,
                         bool AIsInternal) {
    if (!AValue)
        throw EPdfInvalidValue("internal error. wrong object.");
    if (!AValue->IsDirect()) {
        AValue = TPdfVirtualObject::CreateVirtual(AValue->ObjectNumber());
    }
    RemoveItem(AKey);
    FArray.push_back(
        std::make_unique<TPdfDictionaryElement>(std::string(AKey), std::move(AValue), AIsInternal));
}

void TPdfDictionary::AddItem(std::string_view AKey, std::unique_ptr<TPdfObject> AValue) {
    Put(AKey, std::move(AValue), false);
}

void TPdfDictionary::AddItem(std::string_view AKey, TPdfObject* AIndirectValue) {
    if (AIndirectValue == nullptr || AIndirectValue->IsDirect()) {
        throw EPdfInvalidValue("internal error. wrong object.");
    }
    Put(AKey, TPdfVirtualObject::CreateVirtual(AIndirectValue->ObjectNumber()), false);
}

void TPdfDictionary::AddNumberItem(std::string_view AKey, std::int32_t AValue) {
    Put(AKey, std::make_unique<TPdfNumber>(AValue), false);
}

void TPdfDictionary::AddNameItem(std::string_view AKey, std::string AValue) {
    Put(AKey, std::make_unique<TPdfName>(std::move(AValue)), false);
}

void TPdfDictionary::AddInternalItem(std::string_view AKey, std::unique_ptr<TPdfObject> AValue) {
    Put(AKey, std::move(AValue), true);
}

void TPdfDictionary::RemoveItem(std::string_view AKey) {
    for (auto it = FArray.begin(); it != FArray.end(); ++it) {
        if ((*it)->Key().Value() == AKey) {
            FArray.erase(it);
            return;
        }
    }
}

TPdfObject* TPdfDictionary::Resolve(TPdfObject* AValue) const {
    if (AValue == nullptr || AValue->ObjectType() != TPdfObjectType::otVirtualObject)
        return AValue;
    return FObjectMgr ? FObjectMgr->GetObject(AValue->ObjectNumber()) : nullptr;
}

TPdfObject* TPdfDictionary::ValueByName(std::string_view AKey) const {
    for (const auto& element : FArray) {
        if (element->Key().Value() == AKey)
            return Resolve(element->Value());
    }
    return nullptr;
}

#define HALVIK_TYPED_LOOKUP(Method, Type)                       \
    Type* TPdfDictionary::Method(std::string_view AKey) const { \
        return PdfCast<Type>(ValueByName(AKey));                \
    }
HALVIK_TYPED_LOOKUP(PdfNumberByName, TPdfNumber)
HALVIK_TYPED_LOOKUP(PdfTextByName, TPdfText)
HALVIK_TYPED_LOOKUP(PdfRealByName, TPdfReal)
HALVIK_TYPED_LOOKUP(PdfStringByName, TPdfString)
HALVIK_TYPED_LOOKUP(PdfNameByName, TPdfName)
HALVIK_TYPED_LOOKUP(PdfDictionaryByName, TPdfDictionary)
HALVIK_TYPED_LOOKUP(PdfArrayByName, TPdfArray)
HALVIK_TYPED_LOOKUP(PdfBooleanByName, TPdfBoolean)
#undef HALVIK_TYPED_LOOKUP

void TPdfDictionary::WriteValue(TPdfOutputStream& AStream) {
    AStream.Write("<<\r\n");
    for (const auto& element : FArray) {
        if (element->IsInternal())
            continue;
        const_cast<TPdfName&>(element->Key()).WriteValue(AStream);
        AStream.Write(" ", 1);
        element->Value()->WriteToStream(AStream);
        AStream.Write("\r\n");
    }
    AStream.Write(">>");
}

namespace {

// The zlib (RFC 1950) form of `data` at zlib's fastest level (text and paths compress well even
// so), as a FlateDecode filter reads it.
std::string DeflateBytes(std::string_view data) {
    uLongf capacity = compressBound(static_cast<uLong>(data.size()));
    std::string out(capacity, '\0');
    const int status = compress2(reinterpret_cast<Bytef*>(out.data()), &capacity,
                                 reinterpret_cast<const Bytef*>(data.data()),
                                 static_cast<uLong>(data.size()), Z_BEST_SPEED);
    if (status != Z_OK)
        throw EPdfInvalidOperation("SaveToStream --the stream cannot be compressed.");
    out.resize(capacity);
    return out;
}

}  // namespace

// ---- streams ----------------------------------------------------------------------------------

TPdfStream::TPdfStream(TPdfObjectMgr* AObjectMgr) : FAttributes(AObjectMgr) {
    FAttributes.AddItem("Length", std::make_unique<TPdfNumber>(0));
    FAttributes.AddItem("Filter", std::make_unique<TPdfArray>(AObjectMgr));
}

void TPdfStream::Materialize() const {
    if (!FSource)
        return;
    FStream.Clear();
    FStream.AppendSource(*FSource);
    FSource.reset();
}

TPdfByteBuffer& TPdfStream::Stream() {
    Materialize();
    return FStream;
}

const TPdfByteBuffer& TPdfStream::Stream() const {
    Materialize();
    return FStream;
}

void TPdfStream::SetSource(std::unique_ptr<TPdfStreamSource> ASource) {
    FStream.Clear();
    FSource = std::move(ASource);
}

void TPdfStream::WriteValue(TPdfOutputStream& AStream) {
    TPdfArray* filter = FAttributes.PdfArrayByName("Filter");
    // A FlateDecode filter is named only when the bytes written really are deflated.
    if (filter != nullptr)
        filter->RemoveName("FlateDecode");
    std::string deflated;
    if (FCompressed) {
        deflated = DeflateBytes(Stream().View());
        if (filter != nullptr) {
            filter->AddItem(CreateName("FlateDecode"));
        } else {
            FAttributes.AddNameItem("Filter", "FlateDecode");
        }
    }
    const std::size_t size = FCompressed ? deflated.size() : DataSize();
    if (size > 0x7FFFFFFF)
        throw EPdfInvalidOperation("SaveToStream --the document is too large.");
    if (TPdfNumber* length = FAttributes.PdfNumberByName("Length")) {
        length->SetValue(static_cast<std::int32_t>(size));
    } else {
        FAttributes.AddNumberItem("Length", static_cast<std::int32_t>(size));
    }
    FAttributes.WriteValue(AStream);
    AStream.Write("\r\nstream\r\n");
    if (FCompressed) {
        AStream.Write(deflated);
    } else if (FSource) {
        AStream.WriteSource(*FSource);
    } else {
        AStream.Write(FStream.Data(), FStream.Size());
    }
    AStream.Write("\nendstream");
}

void TPdfBinary::WriteValue(TPdfOutputStream& AStream) {
    AStream.Write(FStream.Data(), FStream.Size());
}

// ---- constructors -----------------------------------------------------------------------------

std::unique_ptr<TPdfBoolean> CreateBoolean(bool AValue) {
    return std::make_unique<TPdfBoolean>(AValue);
}
std::unique_ptr<TPdfNumber> CreateNumber(std::int32_t AValue) {
    return std::make_unique<TPdfNumber>(AValue);
}
std::unique_ptr<TPdfReal> CreateReal(double AValue) {
    return std::make_unique<TPdfReal>(AValue);
}
std::unique_ptr<TPdfString> CreateString(std::string_view AValue) {
    return std::make_unique<TPdfString>(AValue);
}
std::unique_ptr<TPdfText> CreateText(std::string_view AValue) {
    return std::make_unique<TPdfText>(AValue);
}
std::unique_ptr<TPdfName> CreateName(std::string_view AValue) {
    return std::make_unique<TPdfName>(std::string(AValue));
}
std::unique_ptr<TPdfArray> CreateArray(TPdfObjectMgr* AObjectMgr) {
    return std::make_unique<TPdfArray>(AObjectMgr);
}
std::unique_ptr<TPdfArray> CreateNumArray(TPdfObjectMgr* AObjectMgr,
                                          std::initializer_list<std::int32_t> values) {
    auto array = std::make_unique<TPdfArray>(AObjectMgr);
    array->AddNumbers(values.begin(), values.size());
    return array;
}
std::unique_ptr<TPdfDictionary> CreateDictionary(TPdfObjectMgr* AObjectMgr) {
    return std::make_unique<TPdfDictionary>(AObjectMgr);
}
std::unique_ptr<TPdfStream> CreateStream(TPdfObjectMgr* AObjectMgr) {
    return std::make_unique<TPdfStream>(AObjectMgr);
}

// ---- cross-reference table, header, trailer ---------------------------------------------------

TPdfXrefEntry::TPdfXrefEntry(std::string AEntryType, std::int32_t AGenerationNumber,
                             std::unique_ptr<TPdfObject> AValue)
    : FEntryType(std::move(AEntryType)),
      FGenerationNumber(AGenerationNumber),
      FValue(std::move(AValue)) {}

std::string TPdfXrefEntry::AsString() const {
    // "oooooooooo ggggg t" CR LF, built by hand: this runs once per object on every save.
    std::string line = "0000000000 00000 n\r\n";
    std::uint32_t offset = FByteOffset < 0 ? 0u : static_cast<std::uint32_t>(FByteOffset);
    for (int i = 9; i >= 0; --i, offset /= 10)
        line[i] = static_cast<char>('0' + offset % 10);
    std::uint32_t generation =
        FGenerationNumber < 0 ? 0u : static_cast<std::uint32_t>(FGenerationNumber);
    for (int i = 15; i >= 11; --i, generation /= 10) {
        line[i] = static_cast<char>('0' + generation % 10);
    }
    line[17] = FEntryType.empty() ? 'n' : FEntryType[0];
    return line;
}

TPdfXref::TPdfXref() {
    FXrefEntries.push_back(std::make_unique<TPdfXrefEntry>("f", 65535, nullptr));
}

void TPdfXref::AddObject(std::unique_ptr<TPdfObject> AObject) {
    if (!AObject || !AObject->IsDirect()) {
        throw EPdfInvalidOperation("AddObject --wrong object type.");
    }
    const auto number = static_cast<std::int32_t>(FXrefEntries.size());
    const std::int32_t generation = AObject->GenerationNumber();
    AObject->SetObjectNumber(number);
    FXrefEntries.push_back(std::make_unique<TPdfXrefEntry>("n", generation, std::move(AObject)));
}

TPdfObject* TPdfXref::GetObject(std::int32_t ObjectID) const {
    if (ObjectID < 0 || ObjectID >= ItemCount())
        return nullptr;
    return FXrefEntries[ObjectID]->Value();
}

void TPdfXref::WriteToStream(TPdfOutputStream& AStream) {
    std::string section = "xref\r\n0 " + std::to_string(FXrefEntries.size()) + "\r\n";
    section.reserve(section.size() + FXrefEntries.size() * 20);
    for (const auto& entry : FXrefEntries)
        section += entry->AsString();
    AStream.Write(section);
}

void TPdfHeader::WriteToStream(TPdfOutputStream& AStream) {
    AStream.Write("%PDF-1.2 \r\n");
}

TPdfTrailer::TPdfTrailer(TPdfObjectMgr* AObjectMgr) : FAttributes(AObjectMgr) {
    FAttributes.AddNumberItem("Size", 0);
}

void TPdfTrailer::WriteToStream(TPdfOutputStream& AStream) {
    AStream.Write("trailer\r\n");
    FAttributes.WriteValue(AStream);
    AStream.Write("\r\nstartxref\r\n");
    WriteInt(AStream, FXrefAddress);
    AStream.Write("\r\n%%EOF\r\n");
}

}  // namespace halvik
