#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/ui/WinControl.h"

class TBitmap;
class TDirectoryListBox;

// The drives of the machine, A to Z, with a picture of their kind, linked
// with a folder list: choosing a drive shows that drive's current folder
// there, and the list's moves to another drive are followed here. The
// platform's drop-down COMBOBOX, drawn by the framework.
class TDriveComboBox : public TWinControl {
public:
    explicit TDriveComboBox(TComponent* owner);
    ~TDriveComboBox() override;

    static constexpr std::string_view kClassName = "TDriveComboBox";

    std::string_view ClassName() const override { return kClassName; }

    // The drive shown, as an upper-case letter.
    char Drive() const { return drive_; }
    void SetDrive(char drive);

    TDirectoryListBox* DirList() const { return dirList_; }
    void SetDirList(TDirectoryListBox* list);

    void DefineProperties(TProperties& properties) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    bool CommandNotified(WORD code) override;
    bool DrawItem(const DRAWITEMSTRUCT& item) override;

private:
    struct TDrive {
        char letter;
        UINT type;
        std::string text;
    };

    void ReadDrives();
    void FillList();
    void SelectShownDrive();
    void DriveChosen();
    void FollowDirList();
    TBitmap* PictureOf(UINT type) const;

    std::vector<TDrive> drives_;
    char drive_ = 'C';
    TDirectoryListBox* dirList_ = nullptr;
    std::unique_ptr<TBitmap> floppy_;
    std::unique_ptr<TBitmap> hard_;
    std::unique_ptr<TBitmap> network_;
    std::unique_ptr<TBitmap> cdrom_;
    std::unique_ptr<TBitmap> ram_;
};

// The text the list shows for a drive: "X:", then the volume label in
// brackets (fixed, CD-ROM and RAM drives) or the network name (remote
// drives, the bracketed label when there is none); upper case throughout.
// Removable drives are not read.
std::string DriveText(char letter, UINT type);
