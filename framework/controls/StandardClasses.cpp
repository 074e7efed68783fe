#include "framework/controls/StandardClasses.h"

#include "framework/controls/Bevel.h"
#include "framework/controls/DirectoryListBox.h"
#include "framework/controls/DriveComboBox.h"
#include "framework/controls/Edit.h"
#include "framework/controls/GlyphButton.h"
#include "framework/controls/Label.h"
#include "framework/controls/Panel.h"
#include "framework/controls/ProgressBar.h"

void RegisterStandardClasses()
{
    TClassRegistry::Register<TBevel>("TBevel");
    TClassRegistry::Register<TBitBtn>("TBitBtn");
    TClassRegistry::Register<TDirectoryListBox>("TDirectoryListBox");
    TClassRegistry::Register<TDriveComboBox>("TDriveComboBox");
    TClassRegistry::Register<TEdit>("TEdit");
    TClassRegistry::Register<TLabel>("TLabel");
    TClassRegistry::Register<TPanel>("TPanel");
    TClassRegistry::Register<TProgressBar>("TProgressBar");
}
