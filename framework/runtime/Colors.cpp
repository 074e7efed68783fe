#include "framework/runtime/Colors.h"

#include <windows.h>

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<std::string_view, TColor>, 23> kNames{{
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clNavy", clNavy},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
    {"clNone", clNone},
    {"clBtnFace", clBtnFace},
    {"clBtnShadow", clBtnShadow},
    {"clBtnHighlight", clBtnHighlight},
    {"clBtnText", clBtnText},
    {"clWindow", clWindow},
    {"clWindowText", clWindowText},
    {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText},
    {"clGrayText", clGrayText},
}};

} // namespace

std::uint32_t ColorToRGB(TColor color)
{
    if ((color & 0xFF000000) == kSystemColorFlag)
        return GetSysColor(static_cast<int>(color & 0xFF));
    return color & 0x00FFFFFF;
}

std::optional<TColor> ColorFromName(std::string_view name)
{
    for (const auto& [text, color] : kNames) {
        if (text == name)
            return color;
    }
    return std::nullopt;
}

std::optional<std::string> NameOfColor(TColor color)
{
    for (const auto& [text, value] : kNames) {
        if (value == color)
            return std::string(text);
    }
    return std::nullopt;
}
