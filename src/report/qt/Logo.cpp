// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/qt/Logo.h"

#include <QFile>
#include <csetjmp>
#include <cstdio>
#include <stdexcept>
#include <string>

#include <jpeglib.h>

// Resources of a static library are registered by hand (outside any namespace).
static void initLogoResource() {
    Q_INIT_RESOURCE(logo);
}

namespace halvik {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onJpegError(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void onJpegWarning(j_common_ptr, int) {}

// Everything that libjpeg's long jump may skip lives in plain C storage owned by the caller,
// so no C++ destructor is bypassed.
bool decodeInto(const std::uint8_t* data, std::size_t size, Bitmap& out, ErrorManager& errors,
                jpeg_decompress_struct& info) {
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onJpegError;
    errors.base.emit_message = onJpegWarning;
    errors.message[0] = '\0';
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    if (info.output_components != 3) {
        std::snprintf(errors.message, sizeof errors.message, "unsupported JPEG colour layout");
        jpeg_destroy_decompress(&info);
        return false;
    }
    out.width = static_cast<int>(info.output_width);
    out.height = static_cast<int>(info.output_height);
    out.bitsPerPixel = 24;
    out.stride = static_cast<std::size_t>(info.output_width) * 3;
    out.pixels.resize(out.stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.pixels.data() + out.stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

}  // namespace

Bitmap decodeJpeg(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size == 0) {
        throw std::runtime_error("Cannot decode the picture: no JPEG data");
    }
    Bitmap out;
    ErrorManager errors{};
    jpeg_decompress_struct info{};
    if (!decodeInto(data, size, out, errors, info)) {
        throw std::runtime_error(std::string("Cannot decode the picture: ") + errors.message);
    }
    return out;
}

QImage toQImage(const Bitmap& picture) {
    if (picture.IsEmpty() || picture.bitsPerPixel != 24 ||
        picture.stride < static_cast<std::size_t>(picture.width) * 3 ||
        picture.pixels.size() < picture.stride * static_cast<std::size_t>(picture.height)) {
        return {};
    }
    const QImage view(picture.pixels.data(), picture.width, picture.height,
                      static_cast<qsizetype>(picture.stride), QImage::Format_BGR888);
    return view.copy();  // own the pixels
}

void registerLogoResource() {
    static const bool registered = [] {
        initLogoResource();
        return true;
    }();
    (void)registered;
}

const Bitmap& logoPicture() {
    static const Bitmap logo = [] {
        registerLogoResource();
        QFile file(":/halvik/logo.jpg");
        if (!file.open(QIODevice::ReadOnly)) {
            throw std::runtime_error("The logo is missing from the program's resources");
        }
        const QByteArray bytes = file.readAll();
        return decodeJpeg(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                          static_cast<std::size_t>(bytes.size()));
    }();
    return logo;
}

}  // namespace halvik
