// Kept apart from the platform headers: they define "boolean" differently
// from the codec's headers.
#include "framework/graphics/JpegDecoder.h"

#include <csetjmp>
#include <cstdio>
#include <string>

#include <jpeglib.h>

namespace {

// The codec reports fatal errors through error_exit, which must not return:
// it jumps back to the decoding frame, past the codec's own C frames only.
struct TErrorManager {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void ExitOnError(j_common_ptr codec)
{
    auto* errors = reinterpret_cast<TErrorManager*>(codec->err);
    (*codec->err->format_message)(codec, errors->message);
    std::longjmp(errors->jump, 1);
}

// Warnings about damaged but decodable data stay silent.
void IgnoreMessage(j_common_ptr, int) {}

class TDecompressor {
public:
    TDecompressor()
    {
        info.err = jpeg_std_error(&errors.manager);
        errors.manager.error_exit = ExitOnError;
        errors.manager.emit_message = IgnoreMessage;
        errors.message[0] = '\0';
        jpeg_create_decompress(&info);
    }
    ~TDecompressor() { jpeg_destroy_decompress(&info); }
    TDecompressor(const TDecompressor&) = delete;
    TDecompressor& operator=(const TDecompressor&) = delete;

    jpeg_decompress_struct info{};
    TErrorManager errors{};
};

std::uint8_t Scaled(int a, int b)
{
    return static_cast<std::uint8_t>((a * b + 127) / 255);
}

// Adobe writes CMYK inverted: 255 means no ink.
void CmykRowToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, int width, bool inverted)
{
    for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        const int c = inverted ? cmyk[0] : 255 - cmyk[0];
        const int m = inverted ? cmyk[1] : 255 - cmyk[1];
        const int y = inverted ? cmyk[2] : 255 - cmyk[2];
        const int k = inverted ? cmyk[3] : 255 - cmyk[3];
        bgr[0] = Scaled(y, k);
        bgr[1] = Scaled(m, k);
        bgr[2] = Scaled(c, k);
    }
}

// Everything that can jump lives in this frame; its locals are plain data
// or objects made before setjmp.
bool Decode(TDecompressor& codec, const std::uint8_t* data, std::size_t size, TJpegPixels& pixels,
            std::vector<std::uint8_t>& cmykRow)
{
    jpeg_decompress_struct& info = codec.info;
    if (setjmp(codec.errors.jump))
        return false;
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    // The pixel buffer's size must fit 32 bits.
    if (std::uint64_t(info.output_width) * info.output_height * 3 > 0x7FFFFFFF) {
        std::snprintf(codec.errors.message, sizeof codec.errors.message, "image too large");
        return false;
    }
    pixels.width = static_cast<int>(info.output_width);
    pixels.height = static_cast<int>(info.output_height);
    const std::size_t stride = static_cast<std::size_t>(pixels.width) * 3;
    pixels.bgr.resize(stride * pixels.height);
    if (cmyk)
        cmykRow.resize(static_cast<std::size_t>(pixels.width) * 4);
    while (info.output_scanline < info.output_height) {
        std::uint8_t* row = &pixels.bgr[info.output_scanline * stride];
        JSAMPROW target = cmyk ? cmykRow.data() : row;
        jpeg_read_scanlines(&info, &target, 1);
        if (cmyk)
            CmykRowToBgr(cmykRow.data(), row, pixels.width, info.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&info);
    return true;
}

} // namespace

TJpegPixels DecodeJpeg(const std::uint8_t* data, std::size_t size)
{
    TDecompressor codec;
    TJpegPixels pixels;
    std::vector<std::uint8_t> cmykRow;
    if (!Decode(codec, data, size, pixels, cmykRow))
        throw EJPEGError(std::string("JPEGイメージが不正です: ") + codec.errors.message);
    return pixels;
}
