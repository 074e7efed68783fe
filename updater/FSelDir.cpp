#include "updater/FSelDir.h"

#include "framework/controls/DirectoryListBox.h"
#include "framework/controls/DriveComboBox.h"
#include "framework/controls/GlyphButton.h"
#include "framework/controls/Label.h"
#include "framework/controls/Panel.h"
#include "updater/ButtonGlyph.h"
#include "updater/Pathutil.h"

TfrmSelDir::TfrmSelDir(TComponent* owner) : TForm(owner)
{
    Publish("FormCreate", this, &TfrmSelDir::FormCreate);
    PublishField("OKBtn", OKBtn);
    PublishField("CancelBtn", CancelBtn);
    PublishField("Panel1", Panel1);
    PublishField("Label1", Label1);
    PublishField("lblDirName", lblDirName);
    PublishField("DirectoryListBox", DirectoryListBox);
    PublishField("Label2", Label2);
    PublishField("DriveComboBox1", DriveComboBox1);
}

void TfrmSelDir::FormCreate(TObject*)
{
    LoadButtonGlyph(*OKBtn);
}

void TfrmSelDir::SetDirectory(const std::string& folder)
{
    // A bare drive ("D:") means its root.
    const std::string target = folder.size() == 2 && folder[1] == ':' ? folder + "\\" : folder;
    try {
        DirectoryListBox->SetDirectory(target);
    } catch (const std::exception&) {
        // Each retry works on a strictly shorter text, so the walk ends.
        const std::string parent = FolderPartOf(folder);
        if (parent.size() < folder.size())
            SetDirectory(RemoveBackslash(parent));
    }
}

std::string TfrmSelDir::GetDirectory() const
{
    return DirectoryListBox->Directory();
}
