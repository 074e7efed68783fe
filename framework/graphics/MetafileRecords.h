#pragma once

#include <cstddef>
#include <cstdint>

// Checks the records of enhanced metafile data before the platform is given
// them. Its playback trusts what a record says of itself (its size, counts
// of points and characters, offsets of embedded strings, regions and
// bitmaps, indexes into the handle table) and reads or writes wherever that
// points; a record size of 0 makes it loop for ever.
//
// So the records are walked: each at least 8 bytes, a multiple of 4 and
// inside the data; the first the header, the last the end-of-file record,
// which ends the data. Every record must be of a kind whose layout is known
// here, at least as long as its fixed part, with every count and offset
// inside the record, every handle index inside the header's handle table,
// and every embedded bitmap consistent with its header (as every reader of
// bitmap headers checks them, framework/graphics/BitmapHeader.h) and with
// its bits. The header must describe a device of a real resolution and a
// frame within the decode limit on it, and no pen may be wider than a real
// picture draws one: playback takes such magnitudes as they come, and
// extreme ones make it spin. Anything else raises EInvalidGraphic with the
// message given; a bitmap beyond the decode limit raises it with the
// limit's message.
void CheckMetafileRecords(const std::uint8_t* data, std::size_t size, const char* invalidMessage);

// The length in pixels of a frame side from `from` to `to` (in 0.01 mm) on a
// device of `pixels` pixels over `millimeters`, rounded; any fields give a
// result in range.
std::int32_t MetafileFramePixels(std::int32_t from, std::int32_t to, std::int32_t pixels, std::int32_t millimeters);
