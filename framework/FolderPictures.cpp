#include "framework/FolderPictures.h"

#include <windows.h>

std::unique_ptr<TBitmap> LoadListPicture(const std::string& name)
{
    auto picture = std::make_unique<TBitmap>();
    picture->LoadFromResourceName(GetModuleHandleA(nullptr), name);
    picture->SetTransparent(true);
    return picture;
}
