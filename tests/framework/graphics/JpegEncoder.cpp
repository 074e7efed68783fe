// Kept apart from the platform headers, which define "boolean" differently
// from the codec's headers.
#include "tests/framework/graphics/JpegEncoder.h"

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

std::vector<std::uint8_t> EncodeJpeg(const std::vector<std::uint8_t>& pixels, int width, int height, bool grey,
                                     int quality)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = grey ? 1 : 3;
    info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    const std::size_t stride = static_cast<std::size_t>(width) * info.input_components;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&pixels[info.next_scanline * stride]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<std::uint8_t> data(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return data;
}
