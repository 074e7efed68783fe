#include "framework/graphics/MetafileRecords.h"

#include <windows.h>

#include <algorithm>
#include <cmath>

#include "framework/graphics/BitmapHeader.h"
#include "framework/graphics/ByteReader.h"
#include "framework/graphics/DecodeLimit.h"
#include "framework/graphics/Graphic.h"

namespace {

// The header record up to the device sizes, which every version has.
constexpr DWORD kSmallestHeader = offsetof(ENHMETAHEADER, cbPixelFormat);
constexpr DWORD kStockObject = 0x80000000;
// DIB_PAL_INDICES: a bitmap without a colour table, as monochrome brushes are
// recorded.
constexpr DWORD kPaletteIndices = 2;
// Devices have from about 2 pixels per millimetre (a 50 dpi screen) to about
// 200 (a 5080 dpi image setter); a tenth of the one and five times the other
// leave room for any real recording.
constexpr std::int64_t kMillimetresPerPixelAtMost = 5;
constexpr std::int64_t kPixelsPerMillimetreAtMost = 1000;
// A 6.5 cm stroke in micrometres, the finest logical unit pictures are
// recorded in, is wider than any picture draws; playback strokes in time
// that grows with the width, and spins or faults from some million units on.
constexpr std::int64_t kWidestPen = 65536;

// Kinds of record that differ only in their fixed fields, which need only be
// there: the least size of each.
struct TFixedRecord {
    DWORD type;
    DWORD size;
};
constexpr TFixedRecord kFixedRecords[] = {
    // No fields of their own.
    {EMR_SETMETARGN, 8}, {EMR_REALIZEPALETTE, 8}, {EMR_BEGINPATH, 8}, {EMR_ENDPATH, 8}, {EMR_CLOSEFIGURE, 8},
    {EMR_FLATTENPATH, 8}, {EMR_WIDENPATH, 8}, {EMR_ABORTPATH, 8},
    {EMR_SETMAPPERFLAGS, 12}, {EMR_SETMAPMODE, 12}, {EMR_SETBKMODE, 12}, {EMR_SETPOLYFILLMODE, 12},
    {EMR_SETROP2, 12}, {EMR_SETSTRETCHBLTMODE, 12}, {EMR_SETTEXTALIGN, 12}, {EMR_SETTEXTCOLOR, 12},
    {EMR_SETBKCOLOR, 12}, {EMR_SETARCDIRECTION, 12}, {EMR_SETMITERLIMIT, 12}, {EMR_SELECTCLIPPATH, 12},
    {EMR_SETICMMODE, 12}, {EMR_SETLAYOUT, 12},
    {EMR_SETWINDOWEXTEX, 16}, {EMR_SETWINDOWORGEX, 16}, {EMR_SETVIEWPORTEXTEX, 16}, {EMR_SETVIEWPORTORGEX, 16},
    {EMR_SETBRUSHORGEX, 16}, {EMR_OFFSETCLIPRGN, 16}, {EMR_MOVETOEX, 16}, {EMR_LINETO, 16},
    {EMR_SETPIXELV, 20},
    {EMR_EXCLUDECLIPRECT, 24}, {EMR_INTERSECTCLIPRECT, 24}, {EMR_SCALEVIEWPORTEXTEX, 24},
    {EMR_SCALEWINDOWEXTEX, 24}, {EMR_ELLIPSE, 24}, {EMR_RECTANGLE, 24}, {EMR_EXTFLOODFILL, 24},
    {EMR_FILLPATH, 24}, {EMR_STROKEANDFILLPATH, 24}, {EMR_STROKEPATH, 24},
    {EMR_ANGLEARC, 28},
    {EMR_SETWORLDTRANSFORM, 32}, {EMR_ROUNDRECT, 32}, {EMR_SETCOLORADJUSTMENT, 32},
    {EMR_MODIFYWORLDTRANSFORM, 36},
    {EMR_ARC, 40}, {EMR_CHORD, 40}, {EMR_PIE, 40}, {EMR_ARCTO, 40},
};

const TFixedRecord* FixedRecord(DWORD type)
{
    const auto found = std::find_if(std::begin(kFixedRecords), std::end(kFixedRecords),
                                    [type](const TFixedRecord& record) { return record.type == type; });
    return found == std::end(kFixedRecords) ? nullptr : found;
}

// One record, read through a reader that ends where the record ends, so that
// no field outside it can be taken for part of it.
class TRecordCheck {
public:
    // savedStates: the states the records so far have saved and not yet
    // restored.
    TRecordCheck(const TByteReader& record, DWORD handles, int& savedStates, const char* invalidMessage)
        : record_(record), handles_(handles), savedStates_(savedStates), invalidMessage_(invalidMessage)
    {
    }

    void Check(DWORD type);

private:
    // Each answers whether the record is of its kinds, checked.
    bool CheckedPoints(DWORD type) const;
    bool CheckedObject(DWORD type) const;
    bool CheckedTransfer(DWORD type) const;
    bool CheckedOther(DWORD type) const;

    void MinimumSize(DWORD size) const
    {
        if (record_.Size() < size)
            record_.Invalid();
    }
    // An index into the handle table; stock objects are named by a flag
    // where the record allows them.
    void Handle(std::uint64_t at, bool stockAllowed) const
    {
        const DWORD index = record_.Get<DWORD>(at);
        if (stockAllowed && (index & kStockObject))
            return;
        if (index == 0 || index >= handles_)
            record_.Invalid();
    }
    // count elements of elementSize bytes at offset `at`.
    void Array(std::uint64_t at, std::uint64_t count, std::uint64_t elementSize) const
    {
        record_.Bytes(at, count * elementSize);
    }
    void Points(std::uint64_t pointSize) const
    {
        MinimumSize(28);
        Array(28, record_.Get<DWORD>(24), pointSize);
    }
    // Polygon counts, then the points they share out.
    void PolyPoints(std::uint64_t pointSize) const
    {
        MinimumSize(32);
        const DWORD polygons = record_.Get<DWORD>(24);
        const DWORD points = record_.Get<DWORD>(28);
        Array(32, polygons, 4);
        std::uint64_t counted = 0;
        for (DWORD i = 0; i < polygons; ++i)
            counted += record_.Get<DWORD>(32 + 4 * std::uint64_t(i));
        if (counted > points)
            record_.Invalid();
        Array(32 + 4 * std::uint64_t(polygons), points, pointSize);
    }
    void PointsWithTypes(std::uint64_t pointSize) const
    {
        MinimumSize(28);
        Array(28, record_.Get<DWORD>(24), pointSize + 1);
    }
    void Text(std::uint64_t at, std::uint64_t charSize) const
    {
        const DWORD chars = record_.Get<DWORD>(at + 8);
        Array(record_.Get<DWORD>(at + 12), chars, charSize);
        const DWORD options = record_.Get<DWORD>(at + 16);
        if (const DWORD spacing = record_.Get<DWORD>(at + 36))
            Array(spacing, chars, options & ETO_PDY ? 8 : 4);
    }
    // Region data of cbRgnData bytes at offset `at`; empty where allowed.
    void Region(std::uint64_t sizeAt, std::uint64_t at, bool emptyAllowed) const
    {
        const DWORD size = record_.Get<DWORD>(sizeAt);
        if (size == 0 && emptyAllowed)
            return;
        const TByteReader region(record_.Bytes(at, size), size, invalidMessage_);
        if (region.Get<DWORD>(0) != sizeof(RGNDATAHEADER) || region.Get<DWORD>(4) != RDH_RECTANGLES)
            record_.Invalid();
        region.Bytes(sizeof(RGNDATAHEADER), std::uint64_t(region.Get<DWORD>(8)) * sizeof(RECT));
    }
    struct TBitmapSize {
        std::int64_t width = 0;
        std::int64_t height = 0;
    };
    // A new object at index 8 of the handle table; size: of its record.
    void NewObject(DWORD size) const
    {
        MinimumSize(size);
        Handle(8, false);
    }
    void ExtCreatePen() const;
    // Colours as RGB values, as palette indexes, or (monochrome brushes) no
    // colour table at all.
    TColorUsage ColorUsageOf(DWORD usage) const
    {
        switch (usage) {
        case DIB_RGB_COLORS: return TColorUsage::Rgb;
        case DIB_PAL_COLORS: return TColorUsage::PaletteIndexes;
        case kPaletteIndices: return TColorUsage::None;
        default: record_.Invalid();
        }
    }
    // A bitmap given by the offset and size of its header and of its bits,
    // the header's colour usage at usageAt. rows: how many rows the bits
    // must hold, 0 for all of them. Answers the bitmap's size (0 x 0 when
    // absent).
    TBitmapSize Bitmap(std::uint64_t usageAt, std::uint64_t at, bool absentAllowed, std::uint64_t rows = 0) const;
    void BitsHold(const TBitmapHeader& header, std::uint64_t allRows, DWORD bitsSize, std::uint64_t rows) const;
    // The fixed part of a block transfer, and the first count coordinates
    // of its destination (from offset 24) within device space.
    void Destination(DWORD size, int count) const
    {
        MinimumSize(size);
        InDeviceSpace(24, count);
    }
    // A block transfer without a source bitmap must not ask for one: its
    // raster operation (at 40) has to leave the source out.
    void SourceForOperation(const TBitmapSize& source) const
    {
        const DWORD operation = record_.Get<DWORD>(40);
        const bool usesSource = ((operation >> 2) ^ operation) & 0x330000;
        if (source.width == 0 && usesSource)
            record_.Invalid();
    }
    // count coordinates from `at` on within the platform's device space of
    // 27 bits; a destination beyond it cannot be drawn, and the platform's
    // stretching divides by zero on some.
    void InDeviceSpace(std::uint64_t at, int count) const
    {
        constexpr std::int32_t kLimit = 1 << 27;
        for (int i = 0; i < count; ++i) {
            const std::int32_t value = record_.Get<std::int32_t>(at + 4 * std::uint64_t(i));
            if (value < -kLimit || value > kLimit)
                record_.Invalid();
        }
    }
    // A source rectangle (x, y, width, height at `at`) inside the bitmap.
    void SourceInside(std::uint64_t at, const TBitmapSize& bitmap) const
    {
        const std::int64_t x = record_.Get<std::int32_t>(at);
        const std::int64_t y = record_.Get<std::int32_t>(at + 4);
        const std::int64_t width = record_.Get<std::int32_t>(at + 8);
        const std::int64_t height = record_.Get<std::int32_t>(at + 12);
        if (x < 0 || y < 0 || width < 0 || height < 0 || x + width > bitmap.width || y + height > bitmap.height)
            record_.Invalid();
    }

    // A pen width (signed where the record keeps it in a point) within what
    // pictures draw.
    void PenWidth(std::uint64_t at, bool isSigned) const
    {
        const std::int64_t width =
            isSigned ? std::int64_t{record_.Get<std::int32_t>(at)} : std::int64_t{record_.Get<DWORD>(at)};
        if (width < -kWidestPen || width > kWidestPen)
            record_.Invalid();
    }

    // A restore goes back a number of the metafile's own saved states;
    // further back it would take the drawer's, and the platform's
    // arithmetic on levels fails on extreme values.
    void Restore() const
    {
        MinimumSize(12);
        const std::int32_t relative = record_.Get<std::int32_t>(8);
        if (relative >= 0 || relative < -savedStates_)
            record_.Invalid();
        savedStates_ += relative;
    }

    const TByteReader& record_;
    DWORD handles_;
    int& savedStates_;
    const char* invalidMessage_;
};

TRecordCheck::TBitmapSize TRecordCheck::Bitmap(std::uint64_t usageAt, std::uint64_t at, bool absentAllowed,
                                               std::uint64_t rows) const
{
    const DWORD infoOffset = record_.Get<DWORD>(at);
    const DWORD infoSize = record_.Get<DWORD>(at + 4);
    const DWORD bitsOffset = record_.Get<DWORD>(at + 8);
    const DWORD bitsSize = record_.Get<DWORD>(at + 12);
    if (infoSize == 0 && absentAllowed) {
        if (infoOffset || bitsOffset || bitsSize)
            record_.Invalid();
        return {};
    }
    const TBitmapHeaderOptions options{.colors = ColorUsageOf(record_.Get<DWORD>(usageAt))};
    const TByteReader info(record_.Bytes(infoOffset, infoSize), infoSize, invalidMessage_);
    record_.Bytes(bitsOffset, bitsSize);
    const TBitmapHeader header = ReadCheckedBitmapHeader(info, options);
    const std::uint64_t allRows = PixelRows(header, options);
    BitsHold(header, allRows, bitsSize, rows);
    return {header.width, static_cast<std::int64_t>(allRows)};
}

// Compressed bits hold the header's image size; others rows (0: allRows)
// of pixels, no more than the bitmap has.
void TRecordCheck::BitsHold(const TBitmapHeader& header, std::uint64_t allRows, DWORD bitsSize,
                            std::uint64_t rows) const
{
    if (header.Compressed()) {
        if (header.imageSize > bitsSize)
            record_.Invalid();
        return;
    }
    if (rows > allRows)
        record_.Invalid();
    if (RowBytes(header) * (rows ? rows : allRows) > bitsSize)
        record_.Invalid();
}

void TRecordCheck::Check(DWORD type)
{
    if (const TFixedRecord* fixed = FixedRecord(type))
        return MinimumSize(fixed->size);
    if (CheckedPoints(type) || CheckedObject(type) || CheckedTransfer(type) || CheckedOther(type))
        return;
    // Kinds not known here may be played back in ways not checked here.
    record_.Invalid();
}

bool TRecordCheck::CheckedPoints(DWORD type) const
{
    switch (type) {
    case EMR_POLYBEZIER:
    case EMR_POLYGON:
    case EMR_POLYLINE:
    case EMR_POLYBEZIERTO:
    case EMR_POLYLINETO: Points(8); return true;
    case EMR_POLYBEZIER16:
    case EMR_POLYGON16:
    case EMR_POLYLINE16:
    case EMR_POLYBEZIERTO16:
    case EMR_POLYLINETO16: Points(4); return true;
    case EMR_POLYPOLYLINE:
    case EMR_POLYPOLYGON: PolyPoints(8); return true;
    case EMR_POLYPOLYLINE16:
    case EMR_POLYPOLYGON16: PolyPoints(4); return true;
    case EMR_POLYDRAW: PointsWithTypes(8); return true;
    case EMR_POLYDRAW16: PointsWithTypes(4); return true;
    default: return false;
    }
}

// Objects made, selected and deleted.
bool TRecordCheck::CheckedObject(DWORD type) const
{
    switch (type) {
    case EMR_SELECTOBJECT:
    case EMR_SELECTPALETTE: Handle(8, true); return true;
    case EMR_DELETEOBJECT: Handle(8, false); return true;
    case EMR_RESIZEPALETTE: NewObject(16); return true;
    case EMR_CREATEBRUSHINDIRECT: NewObject(24); return true;
    case EMR_EXTCREATEFONTINDIRECTW: NewObject(12 + sizeof(LOGFONTW)); return true;
    case EMR_CREATEPEN:
        NewObject(28);
        PenWidth(16, true);
        return true;
    case EMR_CREATEPALETTE:
        Handle(8, false);
        Array(16, record_.Get<WORD>(14), sizeof(PALETTEENTRY));
        return true;
    case EMR_SETPALETTEENTRIES:
        Handle(8, false);
        Array(20, record_.Get<DWORD>(16), sizeof(PALETTEENTRY));
        return true;
    case EMR_CREATEMONOBRUSH:
    case EMR_CREATEDIBPATTERNBRUSHPT:
        Handle(8, false);
        Bitmap(12, 16, false);
        return true;
    case EMR_EXTCREATEPEN: ExtCreatePen(); return true;
    default: return false;
    }
}

void TRecordCheck::ExtCreatePen() const
{
    Handle(8, false);
    Array(52, record_.Get<DWORD>(48), 4);
    PenWidth(32, false);
    // A pattern pen's colour says how its bitmap's colours are given.
    Bitmap(40, 12, true);
}

// Block transfers: the destination first, then the bitmaps.
bool TRecordCheck::CheckedTransfer(DWORD type) const
{
    switch (type) {
    case EMR_BITBLT:
        Destination(100, 4);
        SourceForOperation(Bitmap(80, 84, true));
        return true;
    case EMR_STRETCHBLT:
        Destination(108, 4);
        SourceForOperation(Bitmap(80, 84, true));
        return true;
    case EMR_ALPHABLEND:
    case EMR_TRANSPARENTBLT:
        Destination(108, 4);
        Bitmap(80, 84, false);
        return true;
    case EMR_MASKBLT:
        Destination(128, 4);
        Bitmap(80, 84, true);
        Bitmap(108, 112, true);
        return true;
    case EMR_PLGBLT:
        Destination(140, 6);
        Bitmap(92, 96, true);
        Bitmap(120, 124, true);
        return true;
    // Recording these with a source rectangle outside the bitmap makes the
    // platform copy from outside the bits.
    case EMR_SETDIBITSTODEVICE:
        Destination(76, 6);
        SourceInside(32, Bitmap(64, 48, false, record_.Get<DWORD>(72)));
        return true;
    case EMR_STRETCHDIBITS:
        Destination(80, 2);
        InDeviceSpace(72, 2);
        SourceInside(32, Bitmap(64, 48, false));
        return true;
    default: return false;
    }
}

// Saved states, text, comments and regions.
bool TRecordCheck::CheckedOther(DWORD type) const
{
    switch (type) {
    case EMR_SAVEDC: ++savedStates_; return true;
    case EMR_RESTOREDC: Restore(); return true;
    case EMR_EXTTEXTOUTA: Text(36, 1); return true;
    case EMR_EXTTEXTOUTW: Text(36, 2); return true;
    case EMR_GDICOMMENT: Array(12, record_.Get<DWORD>(8), 1); return true;
    case EMR_FILLRGN:
        Handle(28, false);
        Region(24, 32, false);
        return true;
    case EMR_FRAMERGN:
        Handle(28, false);
        Region(24, 40, false);
        return true;
    case EMR_INVERTRGN:
    case EMR_PAINTRGN: Region(24, 28, false); return true;
    case EMR_EXTSELECTCLIPRGN: Region(8, 16, true); return true;
    default: return false;
    }
}

bool IsRealResolution(LONG pixels, LONG millimeters)
{
    return pixels > 0 && millimeters > 0 && millimeters <= kMillimetresPerPixelAtMost * pixels &&
           pixels <= kPixelsPerMillimetreAtMost * millimeters;
}

// Playback scales by the recording device's pixels per millimetre and maps
// the frame onto the rectangle drawn into.
void CheckHeader(const TByteReader& record)
{
    record.Bytes(0, kSmallestHeader);
    auto field = [&record](std::size_t at) { return record.Get<std::int32_t>(at); };
    const SIZE device{field(offsetof(ENHMETAHEADER, szlDevice.cx)), field(offsetof(ENHMETAHEADER, szlDevice.cy))};
    const SIZE millimeters{field(offsetof(ENHMETAHEADER, szlMillimeters.cx)),
                           field(offsetof(ENHMETAHEADER, szlMillimeters.cy))};
    if (!IsRealResolution(device.cx, millimeters.cx) || !IsRealResolution(device.cy, millimeters.cy))
        record.Invalid();
    // A frame under a pixel stretches every record beyond measure when
    // drawn; one beyond the decode limit is no picture this program shows.
    const RECT frame{field(offsetof(ENHMETAHEADER, rclFrame.left)), field(offsetof(ENHMETAHEADER, rclFrame.top)),
                     field(offsetof(ENHMETAHEADER, rclFrame.right)), field(offsetof(ENHMETAHEADER, rclFrame.bottom))};
    if (!WithinDecodeLimit(MetafileFramePixels(frame.left, frame.right, device.cx, millimeters.cx),
                           MetafileFramePixels(frame.top, frame.bottom, device.cy, millimeters.cy), 1))
        record.Invalid();
}

} // namespace

std::int32_t MetafileFramePixels(std::int32_t from, std::int32_t to, std::int32_t pixels, std::int32_t millimeters)
{
    const double length = (double(to) - from) * pixels / (double(millimeters) * 100);
    return static_cast<std::int32_t>(std::lround(std::clamp(length, double(INT32_MIN), double(INT32_MAX))));
}

void CheckMetafileRecords(const std::uint8_t* data, std::size_t size, const char* invalidMessage)
{
    const TByteReader file(data, size, invalidMessage);
    // The table's first entry is the metafile's own, which playback fills in.
    const DWORD handles = file.Get<WORD>(offsetof(ENHMETAHEADER, nHandles));
    if (handles == 0)
        file.Invalid();
    int savedStates = 0;
    for (std::uint64_t at = 0;;) {
        const DWORD type = file.Get<DWORD>(at);
        const DWORD recordSize = file.Get<DWORD>(at + 4);
        if (recordSize < 8 || recordSize % 4 != 0 || (type == EMR_HEADER) != (at == 0))
            file.Invalid();
        const TByteReader record(file.Bytes(at, recordSize), recordSize, invalidMessage);
        at += recordSize;
        if (type == EMR_HEADER) {
            CheckHeader(record);
        } else if (type == EMR_EOF) {
            record.Bytes(0, sizeof(EMREOF));
            if (at != size)
                file.Invalid();
            return;
        } else {
            TRecordCheck(record, handles, savedStates, invalidMessage).Check(type);
        }
    }
}
