#pragma once

#include <optional>
#include <string>

// The install folder that the product recorded: the default value of the
// key below HKEY_CLASSES_ROOT, read into a 256-byte buffer. Nothing when the
// value cannot be read (no key, longer than the buffer, access denied); an
// empty value is an empty folder.
std::optional<std::string> QueryRecordedInstallDir(const std::string& subKey);

// %ProgramFiles% when it names a folder (is set and not empty), else the
// system's recorded Program Files folder, else empty.
std::string GetProgramFilesDir();

// The folder to propose: the recorded one, else the Program Files folder
// followed by "\Korvantis".
std::string ProposedInstallDir();

#include "framework/ui/Form.h"

class TBevel;
class TBitBtn;
class TEdit;
class TLabel;
class TPanel;

// The install-folder dialog: proposes the folder, keeps TargetExePath in step
// with it, and closes with OK only for an executable the carried version may
// replace.
class TfrmInputPath : public TForm {
public:
    explicit TfrmInputPath(TComponent* owner);

    static constexpr std::string_view kClassName = "TfrmInputPath";

    std::string_view ClassName() const override { return kClassName; }

    void FormCreate(TObject* sender);
    void LoadInstallDir();
    void SetInstallDir(const std::string& folder);
    void Edit1Change(TObject* sender);
    void BitBtn1Click(TObject* sender);
    void FormCloseQuery(TObject* sender, bool& canClose);
    void ShowProductMessage(const std::string& text);

    TBitBtn* BitBtn1 = nullptr;
    TBitBtn* BitBtn2 = nullptr;
    TBitBtn* BitBtn3 = nullptr;
    TPanel* Panel1 = nullptr;
    TLabel* Label1 = nullptr;
    TLabel* Label2 = nullptr;
    TBevel* Bevel1 = nullptr;
    TEdit* Edit1 = nullptr;
};
