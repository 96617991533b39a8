// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/PdfObjects.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <typeinfo>

#include "../support/MissingPackage.h"

namespace halvik {
namespace {

std::string Written(TPdfObject& object) {
    TPdfMemoryStream stream;
    object.WriteToStream(stream);
    return stream.ToString();
}

TEST(PdfValues, EachKindIsWrittenInItsOwnSyntax) {
    struct Case {
        std::function<std::unique_ptr<TPdfObject>()> make;
        std::string expected;
    };
    const Case cases[] = {
        {[] { return std::make_unique<TPdfNull>(); }, "null"},
        {[] { return CreateBoolean(true); }, "true"},
        {[] { return CreateBoolean(false); }, "false"},
        {[] { return CreateNumber(-42); }, "-42"},
        {[] { return CreateNumber(2147483647); }, "2147483647"},
        {[] { return CreateReal(12.5); }, "12.5"},
        {[] { return CreateReal(1.0 / 3); }, "0.333333333333333"},
        {[] { return CreateReal(-3); }, "-3"},
        {[] { return CreateString("a(b)c\\"); }, "(a\\(b\\)c\\\\)"},
        {[] { return CreateString("\r\n\t\b\f"); }, "(\\r\\n\\t\\b\\f)"},
        {[] {
             return CreateString(
                 "12 \xC2\xB0"
                 "C");
         },
         std::string("(12 \xB0"
                     "C)")},
        {[] { return CreateString("\xE2\x82\xAC \xC4\x81"); }, std::string("(\x80 ?)")},
        {[] { return CreateString("A\xF0\x9F\x98\x80"); }, "<41D83DDE00>"},
        {[] { return CreateText("plain"); }, "(plain)"},
        {[] { return CreateText("A\xF0\x9F\x98\x80"); }, "<FEFF001B656E001B0041D83DDE00>"},
        {[] { return CreateName("F0"); }, "/F0"},
        {[] { return CreateName("A B"); }, "/A#20B"},
        {[] { return CreateName("a#%()/<>[]{}"); }, "/a#23#25#28#29#2F#3C#3E#5B#5D#7B#7D"},
        {[] { return CreateName("\xC3\xA9\x7F"); }, "/#E9#7F"},
        {[] { return CreateArray(nullptr); }, "[]"},
        {[] {
             return CreateNumArray(nullptr, {0, 0, 809, 891});
         },
         "[0 0 809 891 ]"},
        {[] { return CreateDictionary(nullptr); }, "<<\r\n>>"},
    };
    for (const Case& c : cases) {
        auto object = c.make();
        EXPECT_EQ(Written(*object), c.expected);
    }
}

TEST(PdfValues, FormatRealRoundsToTwoDecimals) {
    const std::pair<double, const char*> cases[] = {
        {10, "10"},
        {0.5, "0.5"},
        {0.125, "0.13"},
        {1.0 / 3, "0.33"},
        {128.0 / 255, "0.5"},
        {797.6f, "797.6"},
        {0.004, "0"},
        {-0.016, "-0.02"},
        {-0.004, "0"},
        {678.1f, "678.1"},
        {-12.345, "-12.34"},
        {100.07, "100.07"},
        {-9999999999999.99, "-9999999999999.99"},  // the longest short form
        {1e13, "10000000000000"},
        {1e20, "100000000000000000000"},
        {std::nan(""), "0"},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(FormatReal(value), expected) << value;
}

// Switches the process to a comma-decimal locale, compiling one into the build folder with
// localedef when the system has none; false when that cannot be done. A compiled locale counts
// only when complete (its LC_NUMERIC is there): a run that failed before (no `locales` package)
// leaves a partial folder, which is removed and compiled again.
bool UseCommaDecimalLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"}) {
        if (std::setlocale(LC_ALL, name) != nullptr)
            return true;
    }
    const std::string dir = HALVIK_TEST_LOCALE_DIR;
    const std::string locale = "'" + dir + "/de_DE.UTF-8'";
    if (std::system(("test -f " + locale + "/LC_NUMERIC || { rm -rf " + locale + " && mkdir -p '" +
                     dir + "' && localedef -i de_DE -f UTF-8 " + locale + " || { rm -rf " + locale +
                     "; false; }; }")
                        .c_str()) != 0) {
        return false;
    }
    setenv("LOCPATH", dir.c_str(), 1);
    return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

TEST(PdfValues, NumbersIgnoreTheUserLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (!UseCommaDecimalLocale())
        HALVIK_SKIP_FOR_PACKAGE("locales", "no comma-decimal locale can be made here");
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 2.5);
    EXPECT_STREQ(probe, "2,5");  // the locale is really in force
    EXPECT_EQ(FormatReal(797.6f), "797.6");
    EXPECT_EQ(FormatReal(-0.016), "-0.02");
    auto real = CreateReal(2.25);
    EXPECT_EQ(Written(*real), "2.25");
    auto small = CreateReal(1.5e-7);
    EXPECT_EQ(Written(*small), "0.00000015");
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(PdfValues, DatesFormatAndParse) {
    EXPECT_EQ(FormatPdfDate(41337.007460486115), "D:20130304001044");
    EXPECT_EQ(FormatPdfDate(41337.55539822917), "D:20130304131946");
    EXPECT_EQ(FormatPdfDate(0), "D:18991230000000");
    // Rounded to the millisecond first: 23:59:59.9996 is the next day.
    EXPECT_EQ(FormatPdfDate(41337 + (86400 - 0.0004) / 86400.0), "D:20130305000000");
    EXPECT_EQ(FormatPdfDate(EncodeDateTime(2024, 2, 29, 23, 59, 59)), "D:20240229235959");
    EXPECT_EQ(FormatPdfDate(ParsePdfDate("D:20130304131946")), "D:20130304131946");
    EXPECT_EQ(ParsePdfDate("D:18991230000000"), 0);
    for (const char* bad : {"", "D:2013", "X:20130304131946", "D:20131304131946",
                            "D:20130230000000", "D:2013030413194x", "D:20130304246000"}) {
        EXPECT_THROW(ParsePdfDate(bad), EPdfInvalidValue) << bad;
    }
    EXPECT_THROW(FormatPdfDate(1e9), EPdfInvalidValue);
    EXPECT_THROW(FormatPdfDate(std::nan("")), EPdfInvalidValue);
}

TEST(PdfDictionary, InternalElementsAreKeptButNotWritten) {
    TPdfDictionary dictionary;
    dictionary.AddInternalItem("_Font", CreateName("Arial"));
    dictionary.AddNumberItem("Count", 1);
    EXPECT_EQ(Written(dictionary), "<<\r\n/Count 1\r\n>>");
    ASSERT_NE(dictionary.PdfNameByName("_Font"), nullptr);
    EXPECT_EQ(dictionary.PdfNameByName("_Font")->Value(), "Arial");
}

TEST(PdfDictionary, SettingAKeyAgainMovesItToTheEnd) {
    TPdfDictionary dictionary;
    dictionary.AddNumberItem("A", 1);
    dictionary.AddNumberItem("B", 2);
    dictionary.AddNumberItem("A", 3);
    EXPECT_EQ(Written(dictionary), "<<\r\n/B 2\r\n/A 3\r\n>>");
    EXPECT_EQ(dictionary.ItemCount(), 2);
}

TEST(PdfDictionary, LookUpsAreExactAndTyped) {
    TPdfDictionary dictionary;
    dictionary.AddNumberItem("Width", 7);
    auto inner = CreateDictionary(nullptr);
    inner->AddNameItem("Type", "Font");
    dictionary.AddItem("Inner", std::move(inner));
    EXPECT_EQ(dictionary.ValueByName("width"), nullptr);
    EXPECT_EQ(dictionary.ValueByName("Missing"), nullptr);
    EXPECT_EQ(dictionary.PdfNumberByName("Width")->Value(), 7);
    EXPECT_EQ(dictionary.PdfNameByName("Width"), nullptr);  // wrong kind reads as absent
    EXPECT_EQ(Written(dictionary), "<<\r\n/Width 7\r\n/Inner <<\r\n/Type /Font\r\n>>\r\n>>");
    dictionary.RemoveItem("Width");
    EXPECT_EQ(dictionary.ValueByName("Width"), nullptr);
}

TEST(PdfReferences, IndirectObjectsAreHeldAsPlaceholders) {
    TPdfXref xref;
    TPdfDictionary* catalog = xref.Add(CreateDictionary(&xref));
    TPdfDictionary* page = xref.Add(CreateDictionary(&xref));
    EXPECT_EQ(catalog->ObjectNumber(), 1);
    EXPECT_EQ(page->ObjectNumber(), 2);
    EXPECT_EQ(page->ObjectType(), TPdfObjectType::otIndirectObject);

    TPdfArray kids(&xref);
    kids.AddItem(static_cast<TPdfObject*>(page));
    EXPECT_EQ(Written(kids), "[2 0 R ]");
    EXPECT_EQ(kids.Items(0), page);  // resolved through the manager

    TPdfArray unmanaged(nullptr);
    unmanaged.AddItem(static_cast<TPdfObject*>(page));
    EXPECT_EQ(unmanaged.Items(0), nullptr);

    catalog->AddItem("Pages", page);
    EXPECT_EQ(catalog->ValueByName("Pages"), page);
    EXPECT_EQ(Written(*catalog), "1 0 R");

    TPdfMemoryStream body;
    catalog->WriteValueToStream(body);
    EXPECT_EQ(body.ToString(), "1 0 obj\r\n<<\r\n/Pages 2 0 R\r\n>>\r\nendobj\r\n");
}

TEST(PdfArray, FindAndRemoveNames) {
    TPdfArray array(nullptr);
    array.AddItem(CreateName("FlateDecode"));
    array.AddItem(CreateNumber(3));
    array.AddItem(CreateName("ASCIIHex"));
    EXPECT_EQ(array.FindName("flatedecode"), nullptr);
    ASSERT_NE(array.FindName("ASCIIHex"), nullptr);
    EXPECT_TRUE(array.RemoveName("FlateDecode"));
    EXPECT_FALSE(array.RemoveName("FlateDecode"));
    EXPECT_EQ(Written(array), "[3 /ASCIIHex ]");
    EXPECT_EQ(array.Items(5), nullptr);
}

TEST(PdfStream, IsAlwaysWrittenUncompressedWithItsLength) {
    TPdfStream stream(nullptr);
    stream.Attributes().PdfArrayByName("Filter")->AddItem(CreateName("FlateDecode"));
    stream.Stream().Append("BT\nET\n");
    EXPECT_EQ(Written(stream),
              "<<\r\n/Length 6\r\n/Filter []\r\n>>\r\nstream\r\nBT\nET\n\nendstream");
}

TEST(PdfXref, EntriesAreTwentyBytes) {
    TPdfXref xref;
    EXPECT_EQ(xref.Items(0).AsString(), "0000000000 65535 f\r\n");
    TPdfNull* object = xref.Add(std::make_unique<TPdfNull>());
    EXPECT_EQ(xref.Items(1).AsString(), "0000000000 00000 n\r\n");  // not yet written
    xref.Items(1).SetByteOffset(11);
    EXPECT_EQ(xref.Items(1).AsString(), "0000000011 00000 n\r\n");
    EXPECT_EQ(xref.GetObject(1), object);
    EXPECT_EQ(xref.GetObject(2), nullptr);
    TPdfMemoryStream section;
    xref.WriteToStream(section);
    EXPECT_EQ(section.ToString(), "xref\r\n0 2\r\n0000000000 65535 f\r\n0000000011 00000 n\r\n");
}

TEST(PdfText, WriteTextUsesCodePage1252) {
    TPdfByteBuffer out;
    WriteText(std::string_view(
                  "\xC2\xB0"
                  "C \xE2\x82\xAC \xE2\x80\x93 \xC5\x93 \xE4\xB8\xAD \xF0\x9F\x98\x80 \xC2\x81"),
              out);
    EXPECT_EQ(out.View(), std::string_view("\xB0"
                                           "C \x80 \x96 \x9C ? ? \x81"));
    EXPECT_EQ(AnsiByte(u'\u0080'), '?');  // a C1 control whose byte holds the euro sign
    EXPECT_FALSE(
        IsWideText(std::string_view("\xC2\xB0"
                                    "C")));
    EXPECT_TRUE(IsWideText(std::u16string_view(u"\xD83D\xDE00")));
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("a\xC2\xB0\xF0\x9F\x98\x80")), "a\xC2\xB0\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf8ToUtf16("\xFF"
                          "a\xE2\x82"),
              u"\xFFFD"
              u"a\xFFFD");  // malformed input
}

TEST(PdfObjectErrors, KindsAndMessages) {
    struct Case {
        std::function<void()> action;
        const std::type_info& kind;
        std::string message;
    };
    const Case cases[] = {
        {[] {
             TPdfMemoryStream s;
             TPdfNull direct;
             direct.WriteValueToStream(s);
         },
         typeid(EPdfInvalidOperation), "internal error wrong object type"},
        {[] { TPdfDictionaryElement element("Key", nullptr, false); }, typeid(EPdfInvalidValue),
         "internal error. wrong object."},
        {[] {
             TPdfDictionary d;
             d.AddItem("Key", std::unique_ptr<TPdfObject>());
         },
         typeid(EPdfInvalidValue), "internal error. wrong object."},
        {[] {
             TPdfXref xref;
             TPdfNull* numbered = xref.Add(std::make_unique<TPdfNull>());
             TPdfXref other;
             auto placeholder = TPdfVirtualObject::CreateVirtual(numbered->ObjectNumber());
             other.AddObject(std::move(placeholder));
         },
         typeid(EPdfInvalidOperation), "AddObject --wrong object type."},
        {[] { TPdfVirtualObject plain; }, typeid(EPdfError),
         "virtualObject must be create by CreateVirtual method."},
    };
    for (const Case& c : cases) {
        try {
            c.action();
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const std::exception& e) {
            EXPECT_EQ(typeid(e), c.kind) << c.message;
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
}

}  // namespace
}  // namespace halvik
