#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "framework/graphics/InvalidGraphic.h"
#include "framework/runtime/Components.h"
#include "framework/runtime/Errors.h"

class TCanvas;
class TGraphic;
class TStream;

// Raised when the platform refuses to create a bitmap, palette or context.
// Raised right after the refused call, so the platform's error code is taken
// where it is raised.
class EOutOfResources : public Exception {
public:
    explicit EOutOfResources(DWORD platformError = GetLastError());
};

// What a picture needs to know of a kind of graphic: its name in stored
// layouts and how to make an empty one. Every class has exactly one, so
// classes are compared by the address of their TGraphicClass.
class TGraphicClass {
public:
    using Factory = std::unique_ptr<TGraphic> (*)();

    // T names itself with a static kClassName.
    template <class T>
    static const TGraphicClass& Of()
    {
        static const TGraphicClass graphicClass(T::kClassName, [] { return std::unique_ptr<TGraphic>(new T); });
        return graphicClass;
    }

    std::string_view Name() const { return name_; }
    std::unique_ptr<TGraphic> Create() const { return factory_(); }

    TGraphicClass(const TGraphicClass&) = delete;
    TGraphicClass& operator=(const TGraphicClass&) = delete;

private:
    TGraphicClass(std::string_view name, Factory factory) : name_(name), factory_(factory) {}

    std::string_view name_;
    Factory factory_;
};

// A picture of any kind that draws itself into a rectangle of a canvas,
// announces its changes and has a stream form.
class TGraphic : public TPersistent {
public:
    TGraphic() = default;
    TGraphic(const TGraphic&) = delete;
    TGraphic& operator=(const TGraphic&) = delete;

    TNotifyEvent OnChange;

    // The class of this object; each concrete class answers its own, which
    // makes it the class's virtual constructor.
    virtual const TGraphicClass& GraphicClass() const = 0;
    std::string_view ClassName() const { return GraphicClass().Name(); }

    virtual bool Empty() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void Draw(TCanvas& canvas, const RECT& rect) = 0;
    // Stretches a part of the picture, in its pixels, into rect. Callers go
    // through TCanvas::StretchDraw, which announces the destination's change.
    // Only bitmaps have pixels to take a part of; the base raises.
    virtual void DrawPart(TCanvas& canvas, const RECT& rect, const RECT& part);
    // The palette the picture wants realised on palette displays, or none.
    virtual HPALETTE Palette() const { return nullptr; }
    virtual bool Transparent() const { return transparent_; }
    virtual void SetTransparent(bool transparent);

    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToStream(TStream& stream) const = 0;
    void LoadFromFile(const std::string& path);
    void SaveToFile(const std::string& path) const;
    // Loads clipboard data in the given format; the base supports none.
    virtual void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette);

    // Same class and same stream form.
    virtual bool Equals(const TGraphic& other) const;

    // The form in which a layout stores the graphic: its stream form unless
    // a class needs a delimited one.
    virtual void ReadData(TStream& stream);
    virtual void WriteData(TStream& stream) const;

protected:
    // The delimited form: a 32-bit length, then the stream form.
    void WriteSizedData(TStream& stream) const;

public:

    // Puts a copy of this graphic into a destination of another class when
    // this class knows how; false otherwise.
    virtual bool AssignTo(TPersistent& destination) const;

    // "Data": the graphic's ReadData/WriteData form.
    void DefineProperties(TProperties& properties) override;

protected:
    // Every change of the picture ends here; it fires OnChange.
    virtual void Changed(TObject* sender);

    bool transparent_ = false;
};
