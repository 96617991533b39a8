// SPDX-License-Identifier: GPL-3.0-or-later
// The PDF writer's text path: arbitrary UTF-16 through the code-page writer and the literal-string
// escaping, and arbitrary UTF-8 label texts through both whole report pages saved to memory. The
// saved file is checked in process (file frame, cross-reference offsets, stream lengths, every
// literal string closed); with HALVIK_FUZZ_QPDF=1 every file also goes through `qpdf --check`.
//
// Input: byte 0 chooses what else runs (bit 0: the data page, bit 1: the chart page); the rest
// is cut at zero bytes into texts. The whole rest, read as UTF-16LE, goes through WriteText and
// EscapeText; each text is the caption of one label in turn.

#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "PdfStructure.h"
#include "pdf/PdfObjects.h"
#include "pdf/PdfStreams.h"
#include "report/ReportPages.h"

using namespace halvik;

namespace {

bool IsSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// Code points in a UTF-16 text, a valid surrogate pair counting once.
std::size_t Characters(std::u16string_view text) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i, ++n) {
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
            text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            ++i;
    }
    return n;
}

bool HasLoneSurrogate(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!IsSurrogate(text[i]))
            continue;
        if (text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            ++i;
            continue;
        }
        return true;
    }
    return false;
}

void CheckTexts(std::u16string_view wide, std::string_view utf8) {
    TPdfByteBuffer buffer;
    WriteText(wide, buffer);
    FUZZ_CHECK(buffer.Size() == Characters(wide));
    for (std::size_t i = 0; i < wide.size() && wide.size() == buffer.Size(); ++i) {
        if (wide[i] < 0x80)
            FUZZ_CHECK(buffer.Data()[i] == wide[i]);
    }

    // Escaping and a reader's unescaping give the text back.
    const std::u16string escaped = EscapeText(wide);
    std::u16string back;
    FUZZ_CHECK(fuzz::UnescapeLiteral(escaped, back));
    FUZZ_CHECK(back == wide);

    // UTF-8 decoding never makes a lone surrogate, and valid UTF-16 survives a round trip.
    const std::u16string decoded = Utf8ToUtf16(utf8);
    FUZZ_CHECK(!HasLoneSurrogate(decoded));
    FUZZ_CHECK(Utf8ToUtf16(Utf16ToUtf8(decoded)) == decoded);
    if (!HasLoneSurrogate(wide))
        FUZZ_CHECK(Utf8ToUtf16(Utf16ToUtf8(wide)) == wide);
}

Bitmap TinyPicture() {
    Bitmap b = Bitmap::Create(3, 2, 24);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 9; ++x)
            b.Row(y)[x] = static_cast<std::uint8_t>(40 * x + y);
    }
    return b;
}

void CheckWithQpdf(const std::string& file) {
    char path[] = "/tmp/halvik-fuzz-XXXXXX.pdf";
    const int fd = ::mkstemps(path, 4);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(::write(fd, file.data(), file.size()) == static_cast<ssize_t>(file.size()));
    ::close(fd);
    const std::string command = std::string("qpdf --check ") + path + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    if (!(WIFEXITED(status) && WEXITSTATUS(status) == 0))
        std::fprintf(stderr, "qpdf --check failed on %s\n", path);
    else
        ::unlink(path);
    FUZZ_CHECK(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// Every component of type T on a page, in print order.
template <class T>
void Collect(TRpControl& control, std::vector<T*>& found) {
    if (T* item = dynamic_cast<T*>(&control))
        found.push_back(item);
    for (int i = 0; i < control.ControlCount(); ++i)
        Collect(*control.Controls(i), found);
}

template <class Page>
void Save(Page& page, std::unique_ptr<TRpReport> report, const std::vector<std::string>& texts,
          std::size_t& next) {
    static const Bitmap picture = TinyPicture();
    std::vector<TRpLabel*> labels;
    Collect(page, labels);
    for (TRpLabel* label : labels) {
        if (next < texts.size())
            label->SetCaption(texts[next++]);
    }
    std::vector<TRpImage*> images;
    Collect(page, images);
    for (TRpImage* image : images)
        image->SetPicture(picture);
    report->BeginDoc();
    report->Print(page);
    TPdfMemoryStream memory;
    report->EndDoc(memory);
    const std::string file = memory.ToString();
    std::string problem;
    if (!fuzz::CheckPdfStructure(file, problem)) {
        std::fprintf(stderr, "structure: %s\n", problem.c_str());
        FUZZ_CHECK(false);
    }
    static const bool qpdf = std::getenv("HALVIK_FUZZ_QPDF") != nullptr;
    if (qpdf)
        CheckWithQpdf(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t pages = data[0];
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

    std::u16string wide;
    for (std::size_t i = 0; i + 1 < rest.size(); i += 2)
        wide.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(rest[i]) |
                                             static_cast<std::uint8_t>(rest[i + 1]) << 8));
    CheckTexts(wide, rest);

    std::vector<std::string> texts;
    std::size_t start = 0;
    while (start <= rest.size()) {
        const std::size_t end = std::min(rest.find('\0', start), rest.size());
        texts.emplace_back(rest.substr(start, end - start));
        start = end + 1;
    }
    std::size_t next = 0;
    if ((pages & 1) != 0) {
        TRpPage1 page("www.halvik.test");
        Save(page, CreateRpReport1(), texts, next);
    }
    if ((pages & 2) != 0) {
        TRpPage2 page("www.halvik.test");
        Save(page, CreateRpReport2(), texts, next);
    }
    return 0;
}
