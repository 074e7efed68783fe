// Kept apart from the platform headers: they define "boolean" differently
// from the codec's headers.
#include "framework/graphics/JpegDecoder.h"

#include <algorithm>
#include <csetjmp>
#include <string>

#include <jpeglib.h>

#include "framework/graphics/DecodeLimit.h"
#include "framework/runtime/Text.h"

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

// Each scan of a progressive picture passes over all of its coefficients,
// so a small file of many empty scans costs seconds per kilobyte. Real
// encoders write a few dozen scans at most.
constexpr int kMaxScans = 100;

void LimitScans(j_common_ptr codec)
{
    const auto* info = reinterpret_cast<j_decompress_ptr>(codec);
    if (info->input_scan_number <= kMaxScans)
        return;
    auto* errors = reinterpret_cast<TErrorManager*>(codec->err);
    {
        // Gone before the jump, which skips destructors.
        const std::string text = Format("more than %d scans", kMaxScans);
        text.copy(errors->message, sizeof errors->message - 1);
        errors->message[std::min(text.size(), sizeof errors->message - 1)] = '\0';
    }
    std::longjmp(errors->jump, 1);
}

class TDecompressor {
public:
    TDecompressor()
    {
        info.err = jpeg_std_error(&errors.manager);
        errors.manager.error_exit = ExitOnError;
        errors.manager.emit_message = IgnoreMessage;
        errors.message[0] = '\0';
        jpeg_create_decompress(&info);
        // The codec's own buffers (whole-image coefficients of progressive
        // pictures among them) stay within the decode limit as well.
        info.mem->max_memory_to_use = kMaxPictureBytes;
        progress.progress_monitor = LimitScans;
        info.progress = &progress;
    }
    ~TDecompressor() { jpeg_destroy_decompress(&info); }
    TDecompressor(const TDecompressor&) = delete;
    TDecompressor& operator=(const TDecompressor&) = delete;

    jpeg_decompress_struct info{};
    TErrorManager errors{};
    jpeg_progress_mgr progress{};
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
// or objects made before setjmp. Errors of our own are raised from this
// frame only, never from inside the codec.
bool Decode(TDecompressor& codec, const std::uint8_t* data, std::size_t size, TJpegPixels& pixels,
            std::vector<std::uint8_t>& cmykRow)
{
    jpeg_decompress_struct& info = codec.info;
    if (setjmp(codec.errors.jump))
        return false;
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    // Checked before the codec allocates anything for the picture; the
    // pixels come out unscaled, 24 bits deep.
    if (!WithinDecodeLimit(info.image_width, info.image_height, 24))
        throw EJPEGError(PictureTooLargeMessage(info.image_width, info.image_height));
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_start_decompress(&info);
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
