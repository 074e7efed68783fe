#include "bitmap/UPaletteUtil.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/runtime/Handles.h"
#include "framework/runtime/Streams.h"

namespace {

constexpr int kMaxEntries = 256;
// Version, entry count and 256 entries: the most a RIFF palette may carry.
constexpr DWORD kMaxRiffPaletteData = 4 + 4 * kMaxEntries;

// A LOGPALETTE with room for every entry a palette can have.
struct TLogPalette {
    WORD version = 0x300;
    WORD count = 0;
    PALETTEENTRY entries[kMaxEntries]{};

    HPALETTE Create() const { return CreatePalette(reinterpret_cast<const LOGPALETTE*>(this)); }
};

std::vector<PALETTEENTRY> EntriesOf(HPALETTE palette)
{
    WORD count = 0;
    if (!palette || GetObjectA(palette, sizeof count, &count) == 0)
        return {};
    std::vector<PALETTEENTRY> entries(std::min<int>(count, kMaxEntries));
    entries.resize(GetPaletteEntries(palette, 0, static_cast<UINT>(entries.size()), entries.data()));
    return entries;
}

bool SameColor(const PALETTEENTRY& a, const PALETTEENTRY& b)
{
    return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue;
}

// Appends the entry unless the table already holds its colour.
void AppendNew(std::vector<PALETTEENTRY>& table, const PALETTEENTRY& entry)
{
    if (std::none_of(table.begin(), table.end(), [&](const PALETTEENTRY& e) { return SameColor(e, entry); }))
        table.push_back(entry);
}

HPALETTE CreateDefaultPalette()
{
    HPALETTE palette = LoadPaletteResource(GetModuleHandleA(nullptr), "DefaultPalette", "Palette");
    if (!palette)
        palette = CopyHalftonePalette();
    FillPalette(palette, false, kMaxEntries);
    const TWindowDC screen;
    const TSelectedPalette selected(screen.Handle(), palette, true);
    RealizePalette(screen.Handle());
    return palette;
}

} // namespace

HPALETTE GetDefaultPalette()
{
    // Made once, for the rest of the run.
    static const TGdiObject<HPALETTE> palette(CreateDefaultPalette());
    return palette.Get();
}

HPALETTE LoadPaletteResource(HMODULE module, const char* name, const char* type)
{
    if (!FindResourceA(module, name, type))
        return nullptr;
    TResourceStream stream(module, name, type);
    return ReadRiffPalette(stream);
}

HPALETTE ReadRiffPalette(TStream& stream)
{
    std::uint8_t head[20];
    if (stream.Read(head, sizeof head) != sizeof head || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "PAL data", 8) != 0)
        return nullptr;
    DWORD size;
    std::memcpy(&size, head + 16, sizeof size);
    if (size < 4 || size > kMaxRiffPaletteData)
        return nullptr;
    TLogPalette palette;
    if (stream.Read(&palette, static_cast<std::int32_t>(size)) != static_cast<std::int32_t>(size))
        return nullptr;
    // Entries the data does not hold would come from nowhere; a palette of
    // none is no palette (and no colour table converts to one).
    if (palette.count == 0 || palette.count > kMaxEntries || 4 + 4 * DWORD{palette.count} > size)
        return nullptr;
    return palette.Create();
}

HPALETTE CopyHalftonePalette()
{
    std::vector<PALETTEENTRY> entries;
    {
        const TWindowDC screen;
        const TGdiObject<HPALETTE> halftone(CreateHalftonePalette(screen.Handle()));
        entries = EntriesOf(halftone.Get());
    }
    TLogPalette palette;
    palette.count = static_cast<WORD>(entries.size());
    std::copy(entries.begin(), entries.end(), palette.entries);
    return palette.Create();
}

bool FillPalette(HPALETTE palette, bool blackAndWhiteBase, int count)
{
    const std::vector<PALETTEENTRY> base =
        blackAndWhiteBase ? std::vector<PALETTEENTRY>{{0, 0, 0, 0}, {255, 255, 255, 0}}
                          : EntriesOf(static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)));
    const int baseCount = static_cast<int>(base.size());
    if (count > kMaxEntries || count < baseCount)
        return false;

    std::vector<PALETTEENTRY> table = base;
    for (const PALETTEENTRY& entry : EntriesOf(palette)) {
        if (static_cast<int>(table.size()) >= count)
            break;
        AppendNew(table, entry);
    }
    // 256 fillers of distinct colours always complete a table of at most 256.
    for (int k = 1; k <= kMaxEntries && static_cast<int>(table.size()) < count; ++k)
        AppendNew(table, PALETTEENTRY{0, 0, static_cast<BYTE>(k), 0});

    // Half the base entries first, the rest last, the new colours between.
    const int half = baseCount / 2;
    std::vector<PALETTEENTRY> layout;
    layout.insert(layout.end(), base.begin(), base.begin() + half);
    layout.insert(layout.end(), table.begin() + baseCount, table.end());
    layout.insert(layout.end(), base.begin() + half, base.end());
    if (!ResizePalette(palette, static_cast<UINT>(count)))
        return false;
    SetPaletteEntries(palette, 0, static_cast<UINT>(layout.size()), layout.data());
    return true;
}

int PaletteToColorTable(HPALETTE palette, RGBQUAD* table, int capacity)
{
    if (!palette || capacity <= 0)
        return 0;
    PALETTEENTRY entries[kMaxEntries];
    const UINT count = GetPaletteEntries(palette, 0, static_cast<UINT>(std::min(capacity, kMaxEntries)), entries);
    for (UINT i = 0; i < count; ++i)
        table[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
    return static_cast<int>(count);
}

HPALETTE ColorTableToPalette(const RGBQUAD* table, int count)
{
    if (count < 1 || count > kMaxEntries)
        return nullptr;
    TLogPalette palette;
    palette.count = static_cast<WORD>(count);
    for (int i = 0; i < count; ++i)
        palette.entries[i] = PALETTEENTRY{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
    return palette.Create();
}
