#include "JpegImage.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return.
// It jumps back to the decoder; only C objects live between setjmp and the
// jump, so nothing with a destructor is skipped.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void SilentMessage(j_common_ptr, int) {}

struct Decoder {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
};

// Returns false on a decoder error; out may then hold a partly filled image.
bool Decode(Decoder& d, const unsigned char* data, std::size_t size, QImage* out) {
    d.cinfo.err = jpeg_std_error(&d.err.pub);
    d.err.pub.error_exit = ErrorExit;
    d.err.pub.emit_message = SilentMessage;
    d.err.message[0] = '\0';
    if (setjmp(d.err.jump)) {
        jpeg_destroy_decompress(&d.cinfo);
        return false;
    }
    jpeg_create_decompress(&d.cinfo);
    jpeg_mem_src(&d.cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&d.cinfo, TRUE);
    d.cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d.cinfo);
    *out = QImage(static_cast<int>(d.cinfo.output_width), static_cast<int>(d.cinfo.output_height),
                  QImage::Format_RGB888);
    if (out->isNull()) {
        jpeg_destroy_decompress(&d.cinfo);
        return false;
    }
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        JSAMPROW row = out->scanLine(static_cast<int>(d.cinfo.output_scanline));
        jpeg_read_scanlines(&d.cinfo, &row, 1);
    }
    jpeg_finish_decompress(&d.cinfo);
    jpeg_destroy_decompress(&d.cinfo);
    return true;
}

}  // namespace

QImage DecodeJpeg(const unsigned char* data, std::size_t size, std::string* error) {
    if (error) error->clear();
    if (data == nullptr || size == 0) {
        if (error) *error = "Empty input file";
        return {};
    }
    Decoder d{};
    QImage image;
    if (!Decode(d, data, size, &image)) {
        if (error) *error = d.err.message[0] ? d.err.message : "Cannot decode the picture";
        return {};
    }
    return image;
}
