#pragma once

#include <string>

#include "framework/ui/Form.h"

class TBitBtn;
class TDirectoryListBox;
class TDriveComboBox;
class TLabel;
class TPanel;

// The folder browser: a folder list and a drive list, starting at a given
// folder or the nearest parent of it that can be opened.
class TfrmSelDir : public TForm {
public:
    explicit TfrmSelDir(TComponent* owner);

    static constexpr std::string_view kClassName = "TfrmSelDir";

    std::string_view ClassName() const override { return kClassName; }

    void FormCreate(TObject* sender);
    // Never fails: a folder that cannot be opened gives way to its parent.
    void SetDirectory(const std::string& folder);
    std::string GetDirectory() const;

    TBitBtn* OKBtn = nullptr;
    TBitBtn* CancelBtn = nullptr;
    TPanel* Panel1 = nullptr;
    TLabel* Label1 = nullptr;
    TLabel* lblDirName = nullptr;
    TDirectoryListBox* DirectoryListBox = nullptr;
    TLabel* Label2 = nullptr;
    TDriveComboBox* DriveComboBox1 = nullptr;
};
