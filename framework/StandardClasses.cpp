#include "framework/StandardClasses.h"

#include "framework/Bevel.h"
#include "framework/DirectoryListBox.h"
#include "framework/DriveComboBox.h"
#include "framework/Edit.h"
#include "framework/GlyphButton.h"
#include "framework/Label.h"
#include "framework/Panel.h"
#include "framework/ProgressBar.h"

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
