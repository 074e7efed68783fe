#include "framework/controls/DriveComboBox.h"

#include <cctype>

#include "framework/controls/DirectoryListBox.h"
#include "framework/controls/ListPictures.h"
#include "framework/runtime/SystemLibrary.h"

namespace {

std::string VolumeLabel(const std::string& root)
{
    char label[MAX_PATH + 1] = {};
    if (!GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0))
        return {};
    return label;
}

std::string NetworkName(const std::string& drive)
{
    auto* connection = SystemFunction<decltype(WNetGetConnectionA)>("mpr.dll", "WNetGetConnectionA");
    char name[MAX_PATH + 1] = {};
    DWORD size = sizeof name;
    if (!connection || connection(drive.c_str(), name, &size) != NO_ERROR)
        return {};
    return name;
}

std::string Bracketed(const std::string& text)
{
    std::string result = "[";
    result += text;
    result += ']';
    return result;
}

} // namespace

std::string DriveText(char letter, UINT type)
{
    const std::string drive = std::string(1, letter) + ":";
    std::string text = drive;
    switch (type) {
    case DRIVE_FIXED:
    case DRIVE_CDROM:
    case DRIVE_RAMDISK:
        text += ' ';
        text += Bracketed(VolumeLabel(drive + "\\"));
        break;
    case DRIVE_REMOTE: {
        const std::string network = NetworkName(drive);
        text += ' ';
        text += network.empty() ? Bracketed(VolumeLabel(drive + "\\")) : network;
        break;
    }
    default: break;
    }
    CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

TDriveComboBox::TDriveComboBox(TComponent* owner)
    : TWinControl(owner), floppy_(LoadListPicture("FLOPPY")), hard_(LoadListPicture("HARD")),
      network_(LoadListPicture("NETWORK")), cdrom_(LoadListPicture("CDROM")), ram_(LoadListPicture("RAM"))
{
    SetBounds(0, 0, 145, 22);
    char folder[MAX_PATH] = {};
    if (GetCurrentDirectoryA(sizeof folder, folder) && std::isalpha(static_cast<unsigned char>(folder[0])))
        drive_ = static_cast<char>(std::toupper(static_cast<unsigned char>(folder[0])));
    ReadDrives();
}

TDriveComboBox::~TDriveComboBox() = default;

void TDriveComboBox::ReadDrives()
{
    drives_.clear();
    const DWORD present = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(present & (1u << i)))
            continue;
        const char letter = static_cast<char>('A' + i);
        const UINT type = GetDriveTypeA((std::string(1, letter) + ":\\").c_str());
        drives_.push_back({letter, type, DriveText(letter, type)});
    }
}

void TDriveComboBox::SetDrive(char drive)
{
    drive_ = static_cast<char>(std::toupper(static_cast<unsigned char>(drive)));
    SelectShownDrive();
}

void TDriveComboBox::SetDirList(TDirectoryListBox* list)
{
    dirList_ = list;
    if (dirList_) {
        dirList_->OnChange = TNotifyEvent([this](TObject*) { FollowDirList(); });
        FollowDirList();
    }
}

void TDriveComboBox::FollowDirList()
{
    const std::string& folder = dirList_->Directory();
    if (!folder.empty())
        SetDrive(folder[0]);
}

void TDriveComboBox::DefineProperties(TProperties& properties)
{
    TWinControl::DefineProperties(properties);
    properties.Reference<TDirectoryListBox>(
        "DirList", [this] { return dirList_; }, [this](TDirectoryListBox* list) { SetDirList(list); },
        "is not a folder list");
}

void TDriveComboBox::CreateParams(TCreateParams& params)
{
    TWinControl::CreateParams(params);
    params.className = "COMBOBOX";
    params.style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP;
    // The height of a drop-down combo box includes its list.
    params.height = 200;
}

void TDriveComboBox::HandleCreated()
{
    FillList();
}

void TDriveComboBox::FillList()
{
    HWND box = Handle();
    SendMessageA(box, CB_RESETCONTENT, 0, 0);
    for (const TDrive& drive : drives_)
        SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(drive.text.c_str()));
    SelectShownDrive();
}

void TDriveComboBox::SelectShownDrive()
{
    if (!HandleAllocated())
        return;
    for (std::size_t i = 0; i < drives_.size(); ++i) {
        if (drives_[i].letter == drive_)
            SendMessageA(Handle(), CB_SETCURSEL, i, 0);
    }
}

bool TDriveComboBox::CommandNotified(WORD code)
{
    if (code != CBN_SELCHANGE)
        return false;
    DriveChosen();
    return true;
}

void TDriveComboBox::DriveChosen()
{
    const LRESULT index = SendMessageA(Handle(), CB_GETCURSEL, 0, 0);
    if (index < 0 || index >= static_cast<LRESULT>(drives_.size()))
        return;
    const char letter = drives_[static_cast<std::size_t>(index)].letter;
    try {
        // "X:" names the drive's current folder.
        if (dirList_)
            dirList_->SetDirectory(std::string(1, letter) + ":");
        else
            drive_ = letter;
    } catch (...) {
        // A drive that cannot be read: the list keeps its folder and this box
        // shows that folder's drive again.
        SelectShownDrive();
        throw;
    }
}

TBitmap* TDriveComboBox::PictureOf(UINT type) const
{
    switch (type) {
    case DRIVE_REMOVABLE: return floppy_.get();
    case DRIVE_REMOTE: return network_.get();
    case DRIVE_CDROM: return cdrom_.get();
    case DRIVE_RAMDISK: return ram_.get();
    default: return hard_.get();
    }
}

bool TDriveComboBox::DrawItem(const DRAWITEMSTRUCT& item)
{
    if (item.itemID == static_cast<UINT>(-1) || item.itemID >= drives_.size())
        return true;
    const TDrive& drive = drives_[item.itemID];
    DrawListRow(item, Font(), *PictureOf(drive.type), 0, drive.text);
    return true;
}
