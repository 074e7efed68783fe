#pragma once

#include <memory>
#include <string>

#include "framework/Bitmap.h"

// A small picture of the program's own bitmap resources, drawn with its
// bottom-left colour transparent, as the folder and drive lists show them.
std::unique_ptr<TBitmap> LoadListPicture(const std::string& name);
