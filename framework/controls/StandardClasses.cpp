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
    TClassRegistry::Register<TBevel>();
    TClassRegistry::Register<TBitBtn>();
    TClassRegistry::Register<TDirectoryListBox>();
    TClassRegistry::Register<TDriveComboBox>();
    TClassRegistry::Register<TEdit>();
    TClassRegistry::Register<TLabel>();
    TClassRegistry::Register<TPanel>();
    TClassRegistry::Register<TProgressBar>();
}
