#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Colours are 0x00BBGGRR values. A top byte of 0xFF marks a system colour
// whose low byte is the platform's colour index; other top bytes are flags
// that drawing code clears.
using TColor = std::uint32_t;

constexpr TColor kSystemColorFlag = 0xFF000000;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clNavy = 0x800000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
// "Not chosen": the owner decides, e.g. a bitmap takes its automatic
// transparent colour.
constexpr TColor clDefault = 0x20000000;

constexpr TColor clBtnFace = kSystemColorFlag | 15;   // COLOR_BTNFACE
constexpr TColor clBtnShadow = kSystemColorFlag | 16; // COLOR_BTNSHADOW
constexpr TColor clBtnHighlight = kSystemColorFlag | 20;
constexpr TColor clBtnText = kSystemColorFlag | 18;
constexpr TColor clWindow = kSystemColorFlag | 5;
constexpr TColor clWindowText = kSystemColorFlag | 8;
constexpr TColor clHighlight = kSystemColorFlag | 13;
constexpr TColor clHighlightText = kSystemColorFlag | 14;
constexpr TColor clGrayText = kSystemColorFlag | 17;

// The RGB value a colour stands for now (system colours resolved).
std::uint32_t ColorToRGB(TColor color);

std::optional<TColor> ColorFromName(std::string_view name);
std::optional<std::string> NameOfColor(TColor color);
