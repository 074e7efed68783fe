#pragma once

#include <string>

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
