#include "framework/graphics/Graphic.h"

#include <algorithm>

#include "framework/runtime/Streams.h"

EOutOfResources::EOutOfResources(DWORD platformError) : Exception("リソースが不足しています", platformError) {}

void TGraphic::SetTransparent(bool transparent)
{
    if (transparent == transparent_)
        return;
    transparent_ = transparent;
    Changed(this);
}

void TGraphic::DrawPart(TCanvas&, const RECT&, const RECT&)
{
    throw EInvalidGraphic("この画像は一部だけを描画できません");
}

void TGraphic::LoadFromFile(const std::string& path)
{
    TFileStream file(path, TFileMode::OpenRead);
    LoadFromStream(file);
}

void TGraphic::SaveToFile(const std::string& path) const
{
    TFileStream file(path, TFileMode::Create);
    SaveToStream(file);
}

void TGraphic::LoadFromClipboardFormat(UINT, HANDLE, HPALETTE)
{
    throw EInvalidGraphic("サポートされていないクリップボード形式です");
}

bool TGraphic::Equals(const TGraphic& other) const
{
    if (&other == this)
        return true;
    if (&other.GraphicClass() != &GraphicClass() || other.Empty() != Empty())
        return false;
    if (Empty())
        return true;
    TMemoryStream mine;
    TMemoryStream theirs;
    SaveToStream(mine);
    other.SaveToStream(theirs);
    return mine.Size() == theirs.Size() &&
           std::equal(mine.Memory(), mine.Memory() + mine.Size(), theirs.Memory());
}

void TGraphic::ReadData(TStream& stream)
{
    LoadFromStream(stream);
}

void TGraphic::WriteData(TStream& stream) const
{
    SaveToStream(stream);
}

void TGraphic::WriteSizedData(TStream& stream) const
{
    TMemoryStream data;
    SaveToStream(data);
    const auto size = static_cast<DWORD>(data.Size());
    stream.WriteBuffer(&size, sizeof size);
    data.SaveToStream(stream);
}

bool TGraphic::AssignTo(TPersistent&) const
{
    return false;
}

void TGraphic::DefineProperties(TProperties& properties)
{
    properties.Binary(
        "Data", [this](TStream& stream) { WriteData(stream); }, [this](TStream& stream) { ReadData(stream); },
        [this] { return !Empty(); });
}

void TGraphic::Changed(TObject*)
{
    OnChange(this);
}
