#pragma once

#include <windows.h>

#include "framework/graphics/Canvas.h"
#include "framework/graphics/Graphic.h"

// An enhanced metafile: a recorded picture that plays back stretched into
// any rectangle.
class TMetafile : public TGraphic {
public:
    static constexpr std::string_view kClassName = "TMetafile";

    TMetafile() = default;
    ~TMetafile() override;

    const TGraphicClass& GraphicClass() const override { return TGraphicClass::Of<TMetafile>(); }
    void Assign(const TPersistent& source) override;

    bool Empty() const override { return handle_ == nullptr; }
    // The size in pixels of the device it was recorded for; a size set
    // before recording becomes the size of the recording's frame.
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void SetWidth(int width);
    void SetHeight(int height);
    void Draw(TCanvas& canvas, const RECT& rect) override;

    HENHMETAFILE Handle() const { return handle_; }
    // Takes ownership; the size comes from the metafile's header.
    void SetHandle(HENHMETAFILE handle);

    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) const override;
    // CF_ENHMETAFILE: a copy of the clipboard's metafile.
    void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) override;

private:
    friend class TMetafileCanvas;

    // Keeps the size that was set for the recording.
    void TakeRecording(HENHMETAFILE handle);
    void Replace(HENHMETAFILE handle);

    HENHMETAFILE handle_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// Records into a metafile; the recording becomes the metafile's picture when
// the canvas is destroyed.
class TMetafileCanvas : public TCanvas {
public:
    // Measures come from the reference device; 0 means the screen.
    TMetafileCanvas(TMetafile& metafile, HDC referenceDevice);
    ~TMetafileCanvas() override;

private:
    TMetafile& metafile_;
    HDC recording_;
};
