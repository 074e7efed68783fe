#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <utility>

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/DecodeLimit.h"
#include "framework/graphics/Graphic.h"
#include "framework/runtime/Handles.h"

class TStream;
class TMemoryStream;

// Bitmap data as bitmap files carry it: a 14-byte file header ("BM" and
// fields that are never read), a core (12-byte) or info header told apart by
// its size field, the colour table or bit-field masks, then the pixels right
// after them.

// Bitmaps beyond the readers' decode limit (framework/graphics/DecodeLimit.h)
// are refused as invalid, so that damaged data cannot make the reader (or
// the platform drawing its result) ask for more: the pixels once unpacked
// (their count and padded bytes), the pixels as stored, and the declared
// size of a compressed container.

// The largest bitmap file within the limit: the file header, the largest
// header and a full colour table before the most pixel bytes.
constexpr std::int64_t kMaxBitmapFileBytes = kMaxPictureBytes + sizeof(BITMAPFILEHEADER) +
                                             sizeof(BITMAPV5HEADER) + 256 * sizeof(RGBQUAD);
// Raises EInvalidGraphic for a compressed container that declares more than
// kMaxBitmapFileBytes, before anything is inflated.
void CheckContainerDeclaredSize(std::int32_t declared);

// Sizes of a core or info header in memory, of at least 12 or 40 bytes, as
// the one reader of bitmap headers (framework/graphics/BitmapHeader.h) gives
// them; loading checks headers with it too. A size that does not fit 32 bits
// answers 0xFFFFFFFF, more than any data holds.
std::uint32_t ColorCount(const void* header);
// The header, the three masks of a bit-field header whose masks follow it,
// and the colour table, which deeper bitmaps, bit fields or not, may carry
// to advise palette screens.
std::uint32_t HeaderAndTableSize(const void* header);
// Uncompressed and bit-field pixels: rows rounded up to 4 bytes times the
// height; other compressions: the header's image-size field.
std::uint32_t ImageSize(const void* header);
// Offset of the pixels from the start of bitmap file data.
std::uint32_t BitsOffset(const void* header);

// Raises EInvalidGraphic unless the data starts with "BM".
void CheckFileHeader(const void* data);

// A header block: an info header with its colour table or masks, in one
// zeroed block. Core headers become info headers on the way in.
class TBMPInfo {
public:
    // A 40-byte 24-bit header of no size.
    TBMPInfo();
    TBMPInfo(const TBMPInfo&) = delete;
    TBMPInfo& operator=(const TBMPInfo&) = delete;

    // A new zeroed block of the size; the block always has room for an info
    // header.
    void SetSize(std::uint32_t size);
    std::uint32_t Size() const { return size_; }
    BITMAPINFOHEADER& Header() { return *reinterpret_cast<BITMAPINFOHEADER*>(block_.get()); }
    const BITMAPINFOHEADER& Header() const { return *reinterpret_cast<const BITMAPINFOHEADER*>(block_.get()); }
    BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(block_.get()); }
    RGBQUAD* ColorTable() { return reinterpret_cast<RGBQUAD*>(block_.get() + Header().biSize); }

    void Assign(const TBMPInfo& other);
    // Exchanges the blocks; cannot fail.
    void Swap(TBMPInfo& other) noexcept
    {
        block_.swap(other.block_);
        std::swap(size_, other.size_);
    }
    // A header with its table, HeaderAndTableSize bytes of it.
    void AssignHeader(const void* header);
    void AssignCoreHeader(const void* header);

private:
    std::unique_ptr<std::uint8_t[]> block_;
    std::uint32_t size_ = 0;
};

// {2D47D5A1-88E0-11D2-93A4-0060976E9510}
inline constexpr IID IID_IBitsHolder = {0x2d47d5a1, 0x88e0, 0x11d2, {0x93, 0xa4, 0x00, 0x60, 0x97, 0x6e, 0x95, 0x10}};

// A counted holder of pixel memory that several DIBs may share.
class IBitsHolder : public IUnknown {
public:
    // Frees the memory held before when it owned it.
    virtual void STDMETHODCALLTYPE SetBits(void* bits, BOOL owns) = 0;
    virtual void* STDMETHODCALLTYPE GetBits() = 0;
};

// Frees owned memory with the last reference; borrowed memory (the bits of
// a DIB section) is never freed here.
class TBitsHolder final : public IBitsHolder {
public:
    TBitsHolder() = default;
    TBitsHolder(const TBitsHolder&) = delete;
    TBitsHolder& operator=(const TBitsHolder&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    void STDMETHODCALLTYPE SetBits(void* bits, BOOL owns) override;
    void* STDMETHODCALLTYPE GetBits() override { return bits_; }

private:
    ~TBitsHolder();
    void FreeBits();

    LONG references_ = 0;
    BOOL owns_ = FALSE;
    void* bits_ = nullptr;
};

// One counted reference to a bits holder, or none.
class TBitsHolderRef {
public:
    TBitsHolderRef() = default;
    // Takes a reference of its own.
    explicit TBitsHolderRef(IBitsHolder* holder) : holder_(holder)
    {
        if (holder_)
            holder_->AddRef();
    }
    TBitsHolderRef(const TBitsHolderRef& other) : TBitsHolderRef(other.holder_) {}
    TBitsHolderRef& operator=(TBitsHolderRef other) noexcept
    {
        Swap(other);
        return *this;
    }
    ~TBitsHolderRef()
    {
        if (holder_)
            holder_->Release();
    }

    void Swap(TBitsHolderRef& other) noexcept { std::swap(holder_, other.holder_); }
    IBitsHolder* operator->() const { return holder_; }
    explicit operator bool() const { return holder_ != nullptr; }

private:
    IBitsHolder* holder_ = nullptr;
};

// Bitmap file data at a stream's position, in memory for one load: inflated
// from a compressed container, read in place from a memory stream, or copied
// from any other stream. Every size the headers declare is checked against
// the bytes really there before anything is read: data that claims more
// raises EReadError, data that is no bitmap EInvalidGraphic. The stream is
// left right after the bitmap (after the container).
class TBitmapStreamHolder {
public:
    explicit TBitmapStreamHolder(TStream& stream);
    ~TBitmapStreamHolder();
    TBitmapStreamHolder(const TBitmapStreamHolder&) = delete;
    TBitmapStreamHolder& operator=(const TBitmapStreamHolder&) = delete;

    // The first byte of the file header.
    const std::uint8_t* Data() const { return data_; }
    const void* InfoHeader() const { return data_ + sizeof(BITMAPFILEHEADER); }

private:
    const std::uint8_t* data_ = nullptr;
    std::unique_ptr<TMemoryStream> copy_;
};

// A memory context with the screen's format prepared for one header, with
// the header's colours as its realised palette for 1-, 4- and 8-bit headers:
// bitmaps made against it take the screen's format.
class TCompatibleDC {
public:
    explicit TCompatibleDC(TBMPInfo& header) : TCompatibleDC(header, TWindowDC()) {}

    HDC Handle() const { return dc_.Handle(); }
    // False when the platform made no context.
    explicit operator bool() const { return static_cast<bool>(dc_); }
    HPALETTE Palette() const { return palette_.Get(); }

private:
    TCompatibleDC(TBMPInfo& header, const TWindowDC& screen);

    // Declared in the order of making: leaving deselects the bitmap, then
    // the palette, and deletes the palette, the bitmap and the context.
    TMemoryDC dc_;
    TGdiObject<HBITMAP> bitmap_;
    TGdiObject<HPALETTE> palette_;
    TSelectedPalette paletteSelection_;
    TSelectedObject bitmapSelection_;
};

// A device-independent bitmap in memory: a header block and pixels, drawn
// with StretchDIBits (in one-row bands where a printer refuses the whole),
// made from and into bitmap handles and framework bitmaps. Copies made with
// AssignFromDIB share the pixels and must not write into them. Every intake
// builds the new header and pixels aside and takes them only once complete:
// one that fails leaves the DIB as it was.
class TDIB {
public:
    TDIB();
    ~TDIB();
    TDIB(const TDIB&) = delete;
    TDIB& operator=(const TDIB&) = delete;

    void AssignFromDIB(const TDIB& other);
    // Borrows the bits of a section (keeping the bitmap's image alive), or
    // exports a device-dependent bitmap through its palette where that
    // matters.
    void AssignFromBitmap(TBitmap& bitmap);
    // True when the bits are borrowed from a DIB section, which must then
    // outlive this DIB.
    bool AssignFromHandle(HBITMAP bitmap, HPALETTE palette);
    // Plain bitmap file data or a compressed container holding it.
    void LoadFromStream(TStream& stream);

    // Banded on printing canvases.
    void Draw(TCanvas& canvas, const RECT& destination, const RECT& source);
    // One StretchDIBits with the canvas's copy mode; false when the device
    // refused it. Nothing to draw counts as success.
    bool DrawDirect(TCanvas& canvas, const RECT& destination, const RECT& source);
    // DrawDirect, and when that fails one destination row at a time.
    void DrawBanded(TCanvas& canvas, const RECT& destination, const RECT& source);

    // A DIB section where the format allows, else a device-dependent bitmap;
    // 0 on failure or without pixels. The caller owns it.
    HBITMAP CreateHandle();
    HBITMAP CreateSectionHandle();
    HBITMAP CreateCompatibleHandle();
    // On NT-family systems a handle of CreateHandle; on 9x-family systems an
    // upright framework bitmap of the matching format drawn from the pixels.
    void AssignTo(TBitmap& bitmap);

    int Width() const { return header_.Header().biWidth; }
    int Height() const { return std::abs(header_.Header().biHeight); }
    bool HasBits() const { return static_cast<bool>(holder_); }
    TBMPInfo& Header() { return header_; }
    const void* Bits() const { return holder_ ? holder_->GetBits() : nullptr; }

private:
    // Replaces the whole state with what an intake made; the previous state
    // goes with the arguments. Cannot fail.
    void Take(TBMPInfo& header, TBitsHolderRef& holder, std::uint32_t bitsSize,
              std::unique_ptr<TBitmap>& keptBitmap) noexcept;

    TBitsHolderRef holder_;
    TBMPInfo header_;
    std::unique_ptr<TBitmap> keptBitmap_;
    // How many bytes the pixel memory holds.
    std::uint32_t bitsSize_ = 0;
};

// The one StretchDIBits call through which every TDIB drawing goes. Tests of
// the band fallback install a stand-in that counts calls and refuses some;
// nullptr puts the platform's function back. The product never calls it.
using TStretchDIBitsFunction = decltype(&::StretchDIBits);
void SetStretchDIBitsForTests(TStretchDIBitsFunction function);
