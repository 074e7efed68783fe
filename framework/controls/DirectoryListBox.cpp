#include "framework/controls/DirectoryListBox.h"

#include <algorithm>

#include "framework/controls/Label.h"
#include "framework/controls/ListPictures.h"
#include "framework/runtime/FolderEntries.h"
#include "framework/runtime/Handles.h"
#include "framework/runtime/ShiftJis.h"
#include "framework/runtime/Text.h"

namespace {

class EFolderError : public Exception {
public:
    EFolderError(const std::string& folder, DWORD platformError)
        : Exception(Format("フォルダ %s を開けません", folder.c_str()), platformError)
    {
    }
};

std::string CurrentFolder()
{
    const DWORD size = GetCurrentDirectoryA(0, nullptr);
    std::string folder(size, '\0');
    folder.resize(GetCurrentDirectoryA(size, folder.data()));
    return folder;
}

// Positions of the folder separators, never the second byte of a
// double-byte character.
std::vector<std::size_t> Separators(const std::string& path)
{
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (TLeadBytes::System().CharLength(path, i) == 2)
            ++i;
        else if (path[i] == '\\')
            at.push_back(i);
    }
    return at;
}

// The subfolders of the folder whose path, ending in "\\", is given.
std::vector<std::string> Subfolders(const std::string& base)
{
    std::vector<std::string> names;
    for (const TFolderEntry& entry : FindEntries(base + "*")) {
        if (entry.isFolder)
            names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_LESS_THAN;
    });
    return names;
}

} // namespace

std::string MinimizePath(HDC dc, const std::string& path, int width)
{
    auto fits = [&](const std::string& text) {
        SIZE size{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx <= width;
    };
    if (fits(path))
        return path;
    const std::vector<std::size_t> at = Separators(path);
    if (at.size() < 2)
        return path;
    // Keep the drive ("C:\"), then drop leading folders one by one.
    const std::string head = path.substr(0, at.front() + 1) + "...";
    for (std::size_t i = 1; i < at.size(); ++i) {
        const std::string shortened = head + path.substr(at[i]);
        if (fits(shortened) || i + 1 == at.size())
            return shortened;
    }
    return path;
}

TDirectoryListBox::TDirectoryListBox(TComponent* owner)
    : TWinControl(owner), openPicture_(LoadListPicture("OPENFOLDER")),
      currentPicture_(LoadListPicture("CURRENTFOLDER")), closedPicture_(LoadListPicture("CLOSEDFOLDER"))
{
    SetBounds(0, 0, 145, 97);
    directory_ = CurrentFolder();
    Rebuild();
}

TDirectoryListBox::~TDirectoryListBox() = default;

void TDirectoryListBox::SetDirectory(const std::string& folder)
{
    if (!SetCurrentDirectoryA(folder.c_str()))
        throw EFolderError(folder, GetLastError());
    directory_ = CurrentFolder();
    Rebuild();
    OnChange(this);
}

void TDirectoryListBox::SetItemHeight(int height)
{
    if (height == itemHeight_)
        return;
    itemHeight_ = height;
    if (HandleAllocated())
        SendMessageA(Handle(), LB_SETITEMHEIGHT, 0, height);
}

void TDirectoryListBox::SetDirLabel(TLabel* label)
{
    dirLabel_ = label;
    ShowInLabel();
}

void TDirectoryListBox::Loaded()
{
    TWinControl::Loaded();
    ShowInLabel();
}

void TDirectoryListBox::DefineProperties(TProperties& properties)
{
    TWinControl::DefineProperties(properties);
    properties.Integer("ItemHeight", [this] { return itemHeight_; }, [this](int h) { SetItemHeight(h); }, 16);
    properties.Reference<TLabel>(
        "DirLabel", [this] { return dirLabel_; }, [this](TLabel* label) { SetDirLabel(label); }, "is not a label");
}

void TDirectoryListBox::CreateParams(TCreateParams& params)
{
    TWinControl::CreateParams(params);
    params.className = "LISTBOX";
    params.style |= WS_VSCROLL | WS_BORDER | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
                    LBS_NOINTEGRALHEIGHT | WS_TABSTOP;
}

void TDirectoryListBox::HandleCreated()
{
    SendMessageA(Handle(), LB_SETITEMHEIGHT, 0, itemHeight_);
    FillList();
}

void TDirectoryListBox::Rebuild()
{
    rows_.clear();
    const std::vector<std::size_t> at = Separators(directory_);
    // The root ("C:\"), then each folder on the path.
    const std::size_t rootEnd = at.empty() ? directory_.size() : at.front() + 1;
    rows_.push_back({directory_.substr(0, rootEnd), directory_.substr(0, rootEnd), TRowKind::Open, 0});
    int indent = 1;
    for (std::size_t i = 0; i < at.size(); ++i) {
        const std::size_t start = at[i] + 1;
        const std::size_t end = i + 1 < at.size() ? at[i + 1] : directory_.size();
        if (start >= end)
            continue;
        rows_.push_back({directory_.substr(start, end - start), directory_.substr(0, end), TRowKind::Open, indent++});
    }
    rows_.back().kind = TRowKind::Current;
    const std::string base = rows_.size() == 1 ? directory_ : directory_ + "\\";
    for (const std::string& name : Subfolders(base))
        rows_.push_back({name, base + name, TRowKind::Closed, indent});
    if (HandleAllocated())
        FillList();
    ShowInLabel();
}

void TDirectoryListBox::FillList()
{
    HWND list = Handle();
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    int current = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(rows_[i].name.c_str()));
        if (rows_[i].kind == TRowKind::Current)
            current = static_cast<int>(i);
    }
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(current), 0);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void TDirectoryListBox::ShowInLabel()
{
    if (!dirLabel_)
        return;
    const TWindowDC screen;
    const TSelectedObject font(screen.Handle(), dirLabel_->Font().Handle());
    dirLabel_->SetText(MinimizePath(screen.Handle(), directory_, dirLabel_->Width()));
}

bool TDirectoryListBox::CommandNotified(WORD code)
{
    if (code != LBN_DBLCLK)
        return false;
    const LRESULT index = SendMessageA(Handle(), LB_GETCURSEL, 0, 0);
    if (index >= 0)
        OpenRow(static_cast<int>(index));
    return true;
}

void TDirectoryListBox::OpenRow(int index)
{
    if (index < static_cast<int>(rows_.size()))
        SetDirectory(rows_[static_cast<std::size_t>(index)].path);
}

bool TDirectoryListBox::DrawItem(const DRAWITEMSTRUCT& item)
{
    if (item.itemID == static_cast<UINT>(-1) || item.itemID >= rows_.size())
        return true;
    const TRow& row = rows_[item.itemID];
    TBitmap& picture = row.kind == TRowKind::Open      ? *openPicture_
                       : row.kind == TRowKind::Current ? *currentPicture_
                                                       : *closedPicture_;
    DrawListRow(item, Font(), picture, row.indent * 8, row.name);
    return true;
}
