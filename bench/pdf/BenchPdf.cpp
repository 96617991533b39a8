// SPDX-License-Identifier: GPL-3.0-or-later
// The data report (statistics captions, a 397 x 376 logo and a 762 x 475 chart) built and saved
// by Halvik's writer, in memory and to a file; the same page with the same two pictures and
// texts written by libharu, PoDoFo and cairo where they are installed; and a memcpy of as many
// bytes as Halvik's file has, as the floor.
//
// The peers get their pictures already in their own pixel format (RGB for libharu and PoDoFo,
// 32-bit xRGB for cairo), prepared outside the timing; Halvik converts its 24-bit BGR bitmaps
// inside it, as the program does.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pdf/PdfClock.h"
#include "report/ReportPages.h"

#ifdef HALVIK_BENCH_HARU
#include <hpdf.h>
#endif
#ifdef HALVIK_BENCH_PODOFO
#include <podofo/podofo.h>
#endif
#ifdef HALVIK_BENCH_CAIRO
#include <cairo-pdf.h>
#include <cairo.h>
#endif

namespace {

using namespace halvik;

// ---- the shared inputs ------------------------------------------------------------------------

// A synthetic picture with some variety in every channel, 24-bit BGR rows.
Bitmap Synthetic(int width, int height, int shade) {
    Bitmap b = Bitmap::Create(width, height, 24);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = b.Row(y);
        for (int x = 0; x < width; ++x) {
            row[x * 3] = static_cast<std::uint8_t>(x * 3 + shade);
            row[x * 3 + 1] = static_cast<std::uint8_t>(y * 5 + x);
            row[x * 3 + 2] = static_cast<std::uint8_t>((x ^ y) + shade * 7);
        }
    }
    return b;
}

const std::shared_ptr<const Bitmap>& Logo() {
    static auto logo = std::make_shared<const Bitmap>(Synthetic(397, 376, 1));
    return logo;
}
const std::shared_ptr<const Bitmap>& Chart() {
    static auto chart = std::make_shared<const Bitmap>(Synthetic(762, 475, 2));
    return chart;
}

constexpr const char* kWeb = "www.halvik.test";

TRpPage1& DataPage() {
    static TRpPage1* page = [] {
        auto* p = new TRpPage1(kWeb);
        p->RpImage1->SetPicture(Logo());
        p->RpImage2->SetPicture(Chart());
        p->RpLabel7->SetCaption("HK0012345");
        p->RpLabel5->SetCaption("  04 Mar");
        p->RpLabel10->SetCaption("2013,    00:10");
        p->RpLabel6->SetCaption("  05 Mar");
        p->RpLabel11->SetCaption("2013,    04:16");
        p->RpLabel16->SetCaption("8.4");
        p->RpLabel17->SetCaption("2.1");
        p->RpLabel19->SetCaption("42");
        p->RpLabel28->SetCaption("1 Days 4 Hours 6 Min");
        p->RpLabel18->SetCaption("5.3");
        return p;
    }();
    return *page;
}

// Every label of the page with its PDF position and font size, for the peers.
struct PlacedText {
    float x, y, size;
    std::string text;  // UTF-8
};
struct PlacedImage {
    float x, y, width, height;
    const Bitmap* bitmap;
};

void Collect(TRpControl& control, int left, int top, std::vector<PlacedText>& texts,
             std::vector<PlacedImage>& images) {
    const int pageHeight = DataPage().Height();
    for (int i = 0; i < control.ControlCount(); ++i) {
        TRpControl* child = control.Controls(i);
        const int l = left + child->Left(), t = top + child->Top();
        if (auto* label = dynamic_cast<TRpLabel*>(child)) {
            if (!label->Caption().empty()) {
                texts.push_back({static_cast<float>(l), pageHeight - t - label->FontSize() * 0.85f,
                                 label->FontSize(), label->Caption()});
            }
        } else if (auto* image = dynamic_cast<TRpImage*>(child)) {
            if (image->Picture()) {
                images.push_back({static_cast<float>(l),
                                  static_cast<float>(pageHeight - t - child->Height()),
                                  static_cast<float>(child->Width()),
                                  static_cast<float>(child->Height()), image->Picture().get()});
            }
        } else {
            Collect(*child, l, t, texts, images);
        }
    }
}

struct PeerInput {
    std::vector<PlacedText> texts;
    std::vector<PlacedImage> images;
    std::vector<std::string> rgb;   // per image, RGB bytes
    std::vector<std::string> xrgb;  // per image, 32-bit native-endian xRGB
};

[[maybe_unused]] const PeerInput& Peer() {
    static PeerInput* input = [] {
        auto* in = new PeerInput;
        Collect(DataPage(), 0, 0, in->texts, in->images);
        for (const PlacedImage& image : in->images) {
            const Bitmap& b = *image.bitmap;
            std::string rgb, xrgb;
            for (int y = 0; y < b.height; ++y) {
                const std::uint8_t* row = b.Row(y);
                for (int x = 0; x < b.width; ++x) {
                    rgb.push_back(static_cast<char>(row[x * 3 + 2]));
                    rgb.push_back(static_cast<char>(row[x * 3 + 1]));
                    rgb.push_back(static_cast<char>(row[x * 3]));
                    const std::uint32_t px =
                        0xFF000000u | (row[x * 3 + 2] << 16) | (row[x * 3 + 1] << 8) | row[x * 3];
                    xrgb.append(reinterpret_cast<const char*>(&px), 4);
                }
            }
            in->rgb.push_back(std::move(rgb));
            in->xrgb.push_back(std::move(xrgb));
        }
        return in;
    }();
    return *input;
}

// Code page 1252 text for the peers that take bytes.
[[maybe_unused]] std::string Ansi(const std::string& utf8) {
    TPdfByteBuffer out;
    WriteText(std::string_view(utf8), out);
    return std::string(out.View());
}

std::string TempPath(const char* name) {
    const char* base = std::getenv("TMPDIR");
    return std::string(base ? base : "/tmp") + "/halvik-bench-" + std::to_string(::getpid()) + "-" +
           name;
}

std::size_t HalvikFileSize() {
    static std::size_t size = [] {
        auto report = CreateRpReport1();
        report->BeginDoc();
        report->Print(DataPage());
        TPdfMemoryStream s;
        report->EndDoc(s);
        return s.Buffer().Size();
    }();
    return size;
}

// ---- Halvik -----------------------------------------------------------------------------------

void BM_Halvik_DataReport_Memory(benchmark::State& state) {
    ScopedPdfClock clock(45000.5);
    TRpPage1& page = DataPage();
    TPdfMemoryStream stream;  // kept, as a caller would keep its buffer
    for (auto _ : state) {
        auto report = CreateRpReport1();
        report->BeginDoc();
        report->Print(page);
        report->EndDoc(stream);
        benchmark::DoNotOptimize(stream.Buffer().Data());
    }
    state.counters["bytes"] = static_cast<double>(stream.Buffer().Size());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.Buffer().Size()));
}
BENCHMARK(BM_Halvik_DataReport_Memory)->Unit(benchmark::kMicrosecond);

// The same with 32-bit pictures, the layout the window hands over (Qt's RGB32).
void BM_Halvik_DataReport32_Memory(benchmark::State& state) {
    ScopedPdfClock clock(45000.5);
    TRpPage1 page(kWeb);
    for (auto [image, source] : {std::pair{page.RpImage1, Logo()}, {page.RpImage2, Chart()}}) {
        Bitmap wide = Bitmap::Create(source->width, source->height, 32);
        for (int y = 0; y < source->height; ++y) {
            for (int x = 0; x < source->width; ++x) {
                std::copy_n(source->Row(y) + x * 3, 3, wide.Row(y) + x * 4);
                wide.Row(y)[x * 4 + 3] = 0xFF;
            }
        }
        image->SetPicture(std::move(wide));
    }
    for (int i = 0; i < DataPage().RpLayoutPanel1->ControlCount(); ++i) {
        if (auto* from = dynamic_cast<TRpLabel*>(DataPage().RpLayoutPanel1->Controls(i))) {
            page.Find<TRpLabel>(from->Name())->SetCaption(from->Caption());
        }
    }
    TPdfMemoryStream stream;
    for (auto _ : state) {
        auto report = CreateRpReport1();
        report->BeginDoc();
        report->Print(page);
        report->EndDoc(stream);
        benchmark::DoNotOptimize(stream.Buffer().Data());
    }
    state.counters["bytes"] = static_cast<double>(stream.Buffer().Size());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.Buffer().Size()));
}
BENCHMARK(BM_Halvik_DataReport32_Memory)->Unit(benchmark::kMicrosecond);

// The program's own EndDoc: a new file in the same folder, synced, renamed over the old one.
void BM_Halvik_DataReport_File(benchmark::State& state) {
    ScopedPdfClock clock(45000.5);
    TRpPage1& page = DataPage();
    const std::string path = TempPath("Brisko.pdf");
    for (auto _ : state) {
        auto report = CreateRpReport1();
        report->SetFileName(path);
        report->BeginDoc();
        report->Print(page);
        report->EndDoc();
    }
    ::unlink(path.c_str());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(HalvikFileSize()));
}
BENCHMARK(BM_Halvik_DataReport_File)->Unit(benchmark::kMicrosecond);

// The same save into a plain file, without EndDoc's sync and rename: what the peers' file
// benchmarks do.
void BM_Halvik_DataReport_PlainFile(benchmark::State& state) {
    ScopedPdfClock clock(45000.5);
    TRpPage1& page = DataPage();
    const std::string path = TempPath("plain.pdf");
    for (auto _ : state) {
        auto report = CreateRpReport1();
        report->BeginDoc();
        report->Print(page);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        {
            TPdfFileStream file(fd, path);
            report->EndDoc(file);
            file.Flush();
        }
        ::close(fd);
    }
    ::unlink(path.c_str());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(HalvikFileSize()));
}
BENCHMARK(BM_Halvik_DataReport_PlainFile)->Unit(benchmark::kMicrosecond);

// The floor: copying as many bytes as the report has.
void BM_Memcpy_ReportBytes(benchmark::State& state) {
    const std::size_t size = HalvikFileSize();
    std::vector<char> from(size, 'x'), to(size);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), size);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}
BENCHMARK(BM_Memcpy_ReportBytes)->Unit(benchmark::kMicrosecond);

// ---- libharu ----------------------------------------------------------------------------------

#ifdef HALVIK_BENCH_HARU
void HaruError(HPDF_STATUS error, HPDF_STATUS detail, void*) {
    std::fprintf(stderr, "libharu error %04X/%u\n", static_cast<unsigned>(error),
                 static_cast<unsigned>(detail));
    std::abort();
}

HPDF_Doc HaruBuild() {
    const PeerInput& in = Peer();
    HPDF_Doc pdf = HPDF_New(HaruError, nullptr);
    HPDF_SetCompressionMode(pdf, HPDF_COMP_NONE);
    HPDF_Page page = HPDF_AddPage(pdf);
    HPDF_Page_SetWidth(page, 809);
    HPDF_Page_SetHeight(page, 891);
    for (std::size_t i = 0; i < in.images.size(); ++i) {
        const PlacedImage& p = in.images[i];
        HPDF_Image image =
            HPDF_LoadRawImageFromMem(pdf, reinterpret_cast<const HPDF_BYTE*>(in.rgb[i].data()),
                                     p.bitmap->width, p.bitmap->height, HPDF_CS_DEVICE_RGB, 8);
        HPDF_Page_DrawImage(page, image, p.x, p.y, p.width, p.height);
    }
    HPDF_Font font = HPDF_GetFont(pdf, "Helvetica-Bold", "WinAnsiEncoding");
    for (const PlacedText& t : in.texts) {
        HPDF_Page_BeginText(page);
        HPDF_Page_SetFontAndSize(page, font, t.size);
        HPDF_Page_TextOut(page, t.x, t.y, Ansi(t.text).c_str());
        HPDF_Page_EndText(page);
    }
    return pdf;
}

void BM_Haru_DataReport_Memory(benchmark::State& state) {
    std::vector<HPDF_BYTE> out(4 << 20);
    HPDF_UINT32 size = 0;
    for (auto _ : state) {
        HPDF_Doc pdf = HaruBuild();
        HPDF_SaveToStream(pdf);
        size = HPDF_GetStreamSize(pdf);
        if (size > out.size())
            out.resize(size);
        HPDF_UINT32 read = size;
        HPDF_ReadFromStream(pdf, out.data(), &read);
        benchmark::DoNotOptimize(out.data());
        HPDF_Free(pdf);
    }
    state.counters["bytes"] = size;
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}
BENCHMARK(BM_Haru_DataReport_Memory)->Unit(benchmark::kMicrosecond);

void BM_Haru_DataReport_File(benchmark::State& state) {
    const std::string path = TempPath("haru.pdf");
    for (auto _ : state) {
        HPDF_Doc pdf = HaruBuild();
        HPDF_SaveToFile(pdf, path.c_str());
        HPDF_Free(pdf);
    }
    ::unlink(path.c_str());
}
BENCHMARK(BM_Haru_DataReport_File)->Unit(benchmark::kMicrosecond);
#endif

// ---- PoDoFo -----------------------------------------------------------------------------------

#ifdef HALVIK_BENCH_PODOFO
void PodofoBuild(PoDoFo::PdfMemDocument& doc) {
    using namespace PoDoFo;
    const PeerInput& in = Peer();
    PdfPage* page = doc.CreatePage(PdfRect(0, 0, 809, 891));
    PdfPainter painter;
    painter.SetPage(page);
    std::vector<std::unique_ptr<PdfImage>> images;
    for (std::size_t i = 0; i < in.images.size(); ++i) {
        const PlacedImage& p = in.images[i];
        auto image = std::make_unique<PdfImage>(&doc);
        PdfMemoryInputStream pixels(in.rgb[i].data(), static_cast<pdf_long>(in.rgb[i].size()));
        image->SetImageData(p.bitmap->width, p.bitmap->height, 8, &pixels, TVecFilters());
        painter.DrawImage(p.x, p.y, image.get(), p.width / p.bitmap->width,
                          p.height / p.bitmap->height);
        images.push_back(std::move(image));
    }
    PdfFont* font = doc.CreateFont("Helvetica-Bold", false, false, false,
                                   PdfEncodingFactory::GlobalWinAnsiEncodingInstance(),
                                   PdfFontCache::eFontCreationFlags_AutoSelectBase14, false);
    painter.SetFont(font);
    for (const PlacedText& t : in.texts) {
        font->SetFontSize(t.size);
        painter.DrawText(t.x, t.y, PdfString(Ansi(t.text).c_str()));
    }
    painter.FinishPage();
}

void BM_Podofo_DataReport_Memory(benchmark::State& state) {
    PoDoFo::PdfStream::eDefaultFilter = PoDoFo::ePdfFilter_None;
    std::size_t size = 0;
    for (auto _ : state) {
        PoDoFo::PdfMemDocument doc;
        PodofoBuild(doc);
        PoDoFo::PdfRefCountedBuffer buffer(4 << 20);
        PoDoFo::PdfOutputDevice device(&buffer);
        doc.Write(&device);
        size = device.GetLength();
        benchmark::DoNotOptimize(buffer.GetBuffer());
    }
    state.counters["bytes"] = static_cast<double>(size);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}
BENCHMARK(BM_Podofo_DataReport_Memory)->Unit(benchmark::kMicrosecond);

void BM_Podofo_DataReport_File(benchmark::State& state) {
    PoDoFo::PdfStream::eDefaultFilter = PoDoFo::ePdfFilter_None;
    const std::string path = TempPath("podofo.pdf");
    for (auto _ : state) {
        PoDoFo::PdfMemDocument doc;
        PodofoBuild(doc);
        doc.Write(path.c_str());
    }
    ::unlink(path.c_str());
}
BENCHMARK(BM_Podofo_DataReport_File)->Unit(benchmark::kMicrosecond);
#endif

// ---- cairo ------------------------------------------------------------------------------------

#ifdef HALVIK_BENCH_CAIRO
void CairoDraw(cairo_surface_t* surface) {
    const PeerInput& in = Peer();
    cairo_t* cr = cairo_create(surface);
    for (std::size_t i = 0; i < in.images.size(); ++i) {
        const PlacedImage& p = in.images[i];
        cairo_surface_t* image = cairo_image_surface_create_for_data(
            reinterpret_cast<unsigned char*>(const_cast<char*>(in.xrgb[i].data())),
            CAIRO_FORMAT_RGB24, p.bitmap->width, p.bitmap->height, p.bitmap->width * 4);
        cairo_save(cr);
        // cairo's y grows downwards.
        cairo_translate(cr, p.x, 891 - p.y - p.height);
        cairo_scale(cr, p.width / p.bitmap->width, p.height / p.bitmap->height);
        cairo_set_source_surface(cr, image, 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
        cairo_surface_destroy(image);
    }
    cairo_select_font_face(cr, "Helvetica", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_source_rgb(cr, 0, 0, 0);
    for (const PlacedText& t : in.texts) {
        cairo_set_font_size(cr, t.size);
        cairo_move_to(cr, t.x, 891 - t.y);
        cairo_show_text(cr, t.text.c_str());
    }
    cairo_destroy(cr);
    cairo_surface_finish(surface);
}

cairo_status_t CairoAppend(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

void BM_Cairo_DataReport_Memory(benchmark::State& state) {
    std::string out;
    out.reserve(4 << 20);
    for (auto _ : state) {
        out.clear();
        cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(CairoAppend, &out, 809, 891);
        CairoDraw(surface);
        cairo_surface_destroy(surface);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["bytes"] = static_cast<double>(out.size());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(out.size()));
}
BENCHMARK(BM_Cairo_DataReport_Memory)->Unit(benchmark::kMicrosecond);

void BM_Cairo_DataReport_File(benchmark::State& state) {
    const std::string path = TempPath("cairo.pdf");
    for (auto _ : state) {
        cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), 809, 891);
        CairoDraw(surface);
        cairo_surface_destroy(surface);
    }
    ::unlink(path.c_str());
}
BENCHMARK(BM_Cairo_DataReport_File)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace

BENCHMARK_MAIN();
