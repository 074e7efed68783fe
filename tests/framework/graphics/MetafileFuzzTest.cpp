#include <gtest/gtest.h>

#include "framework/graphics/Metafile.h"
#include "tests/framework/graphics/PictureFuzzSupport.h"

namespace {

// Records that draw shapes or text from coordinates and fonts alone, and
// those that scale the coordinates. The test platform's rasteriser and font
// engine mishandle such drawing when it is well-formed but extreme: they
// loop for seconds on polygons a billion units tall, fault on ellipses a
// million pixels wide or glyphs of fonts sixteen thousand pixels high, and
// assert on arcs of paths that scaling squeezes to nothing. That says
// nothing about the reader, so these are left out; every other record, with
// whatever it embeds, is played.
bool DrawsShapeOrTextOrScales(DWORD type)
{
    switch (type) {
    case EMR_POLYBEZIER:
    case EMR_POLYGON:
    case EMR_POLYLINE:
    case EMR_POLYBEZIERTO:
    case EMR_POLYLINETO:
    case EMR_POLYPOLYLINE:
    case EMR_POLYPOLYGON:
    case EMR_POLYBEZIER16:
    case EMR_POLYGON16:
    case EMR_POLYLINE16:
    case EMR_POLYBEZIERTO16:
    case EMR_POLYLINETO16:
    case EMR_POLYPOLYLINE16:
    case EMR_POLYPOLYGON16:
    case EMR_POLYDRAW:
    case EMR_POLYDRAW16:
    case EMR_LINETO:
    case EMR_RECTANGLE:
    case EMR_ROUNDRECT:
    case EMR_ELLIPSE:
    case EMR_ARC:
    case EMR_ARCTO:
    case EMR_CHORD:
    case EMR_PIE:
    case EMR_ANGLEARC:
    case EMR_BEGINPATH:
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW:
    case EMR_SETWORLDTRANSFORM:
    case EMR_MODIFYWORLDTRANSFORM:
    case EMR_SETMAPMODE:
    case EMR_SETWINDOWEXTEX:
    case EMR_SETVIEWPORTEXTEX:
    case EMR_SCALEWINDOWEXTEX:
    case EMR_SCALEVIEWPORTEXTEX: return true;
    default: return false;
    }
}

int CALLBACK PlayAllButShapesTextAndScaling(HDC dc, HANDLETABLE* handles, const ENHMETARECORD* record, int count, LPARAM)
{
    if (!DrawsShapeOrTextOrScales(record->iType))
        PlayEnhMetaFileRecord(dc, handles, record, static_cast<UINT>(count));
    return TRUE;
}

// Plays what the reader accepted into a small picture, as a control shows
// it: the platform's playback reads every record (counts, strings,
// regions, bitmaps, handle indexes) and follows what they point at.
void Play(TMetafile& metafile)
{
    TRenderTarget target(32, 32);
    const RECT rect{0, 0, 32, 32};
    EnumEnhMetaFile(target.Dc(), metafile.Handle(), PlayAllButShapesTextAndScaling, nullptr, &rect);
}

void LoadMetafile(const TFuzzBytes& input)
{
    TMemoryStream stream = StreamOfInput(input);
    TMetafile metafile;
    metafile.LoadFromStream(stream);
    Play(metafile);
}

TEST(MetafileFuzz, MemoryStream)
{
    TFuzzOptions options = PictureFuzzOptions(40000);
    // The header's signature, the end-of-file record and common record sizes.
    options.dictionary = {{' ', 'E', 'M', 'F'}, {14, 0, 0, 0, 20, 0, 0, 0}, {8, 0, 0, 0}, {0x0C, 0, 0, 0}};
    ExpectReaderHolds({"metafile-memory-stream", LoadMetafile, IsReaderRefusal, nullptr}, "metafile", options);
}

// The corpus is drawn whole, as a picture control draws it: some
// regressions hold records that only the shapes they draw bring out.
void LoadAndDrawMetafile(const TFuzzBytes& input)
{
    TMemoryStream stream = StreamOfInput(input);
    TMetafile metafile;
    metafile.LoadFromStream(stream);
    CheckAcceptedPicture(metafile);
}

TEST(MetafileFuzz, CorpusDrawnWhole)
{
    ExpectCorpusHolds({"metafile-drawn-whole", LoadAndDrawMetafile, IsReaderRefusal, nullptr}, "metafile",
                      PictureFuzzOptions(0));
}

} // namespace
