#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/graphics/Graphic.h"

class TBitmap;
class TIcon;
class TMetafile;

// Which graphic class reads which file extension and which clipboard format.
// Lookups search from the most recent registration backwards, so a later
// registration overrides an earlier one.
class TGraphicClassRegistry {
public:
    struct TFileFormat {
        std::string extension; // without the dot
        std::string description;
        const TGraphicClass* graphicClass;
    };
    struct TClipboardFormat {
        UINT format;
        const TGraphicClass* graphicClass;
    };

    void RegisterFileFormat(std::string_view extension, std::string_view description, const TGraphicClass& graphicClass);
    void RegisterClipboardFormat(UINT format, const TGraphicClass& graphicClass);
    // Drops every registration of the class.
    void UnregisterGraphicClass(const TGraphicClass& graphicClass);

    // Extensions match without regard to case, with or without a dot.
    const TGraphicClass* FindByExtension(std::string_view extension) const;
    const TGraphicClass* FindByClipboardFormat(UINT format) const;
    const TGraphicClass* FindByName(std::string_view className) const;
    const std::vector<TFileFormat>& FileFormats() const { return fileFormats_; }

private:
    std::vector<TFileFormat> fileFormats_;
    std::vector<TClipboardFormat> clipboardFormats_;
};

// The process-wide registry the pictures use, made on first use with the
// framework's own classes: bitmaps ("BMP", CF_BITMAP), icons ("ICO"),
// enhanced metafiles ("EMF", CF_ENHMETAFILE) and JPEG images ("JPG", "JPEG").
TGraphicClassRegistry& GraphicClasses();

// Holds one graphic of any registered class, or none, and announces every
// change of it.
class TPicture : public TPersistent {
public:
    TPicture() = default;
    ~TPicture() override;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    TNotifyEvent OnChange;

    TGraphic* Graphic() const { return graphic_.get(); }
    // A copy of the graphic, of its own class; null empties the picture.
    void SetGraphic(const TGraphic* graphic);
    // Takes the graphic over.
    void ReplaceGraphic(std::unique_ptr<TGraphic> graphic);

    // The graphic as that kind, replacing a graphic of another kind by an
    // empty one.
    TBitmap& Bitmap();
    TIcon& Icon();
    TMetafile& Metafile();

    int Width() const;
    int Height() const;

    // The class comes from the file's extension.
    void LoadFromFile(const std::string& path);
    void SaveToFile(const std::string& path) const;
    void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette);

    static bool SupportsClipboardFormat(UINT format);
    static void RegisterFileFormat(std::string_view extension, std::string_view description,
                                   const TGraphicClass& graphicClass);
    static void RegisterClipboardFormat(UINT format, const TGraphicClass& graphicClass);
    static void UnregisterGraphicClass(const TGraphicClass& graphicClass);

    // From a picture or a graphic: a copy of the graphic.
    void Assign(const TPersistent& source) override;
    // "Data": the graphic's class name, then its ReadData/WriteData form.
    void DefineProperties(TProperties& properties) override;

protected:
    // The graphic changed or was replaced; fires OnChange.
    virtual void Changed(TObject* sender);
    virtual void ReadData(TStream& stream);
    virtual void WriteData(TStream& stream) const;

private:
    template <class T>
    T& GraphicOfKind();

    std::unique_ptr<TGraphic> graphic_;
};
