#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/ui/WinControl.h"

class TBitmap;
class TLabel;

// The folders of one drive: the root and every folder down to the current
// one, then the current folder's subfolders, sorted. A double-click makes a
// folder current; making a folder current also makes it the process's
// current folder. The platform's LISTBOX, drawn by the framework.
class TDirectoryListBox : public TWinControl {
public:
    explicit TDirectoryListBox(TComponent* owner);
    ~TDirectoryListBox() override;

    static constexpr std::string_view kClassName = "TDirectoryListBox";

    std::string_view ClassName() const override { return kClassName; }

    // The current folder as the platform reports it: a drive root ends in
    // "\", any other folder does not.
    const std::string& Directory() const { return directory_; }
    // Raises when the folder does not exist or cannot be opened; the list
    // then keeps its folder.
    void SetDirectory(const std::string& folder);

    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int height);
    // A label that shows the current folder, shortened to its width.
    TLabel* DirLabel() const { return dirLabel_; }
    void SetDirLabel(TLabel* label);

    // After every change of the current folder.
    TNotifyEvent OnChange;

    void Loaded() override;
    void DefineProperties(TProperties& properties) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    bool CommandNotified(WORD code) override;
    bool DrawItem(const DRAWITEMSTRUCT& item) override;

private:
    enum class TRowKind { Open, Current, Closed };
    struct TRow {
        std::string name;
        std::string path;
        TRowKind kind;
        int indent;
    };

    void Rebuild();
    void FillList();
    void ShowInLabel();
    void OpenRow(int index);

    std::string directory_;
    std::vector<TRow> rows_;
    int itemHeight_ = 16;
    TLabel* dirLabel_ = nullptr;
    std::unique_ptr<TBitmap> openPicture_;
    std::unique_ptr<TBitmap> currentPicture_;
    std::unique_ptr<TBitmap> closedPicture_;
};

// The path shortened so that it fits the width in the font of the device
// context: leading folders after the drive give way to "...".
std::string MinimizePath(HDC dc, const std::string& path, int width);
