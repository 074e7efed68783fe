#include "imagepack/ImagePackClasses.h"

#include "imagepack/UBitmapControl.h"
#include "imagepack/UImageEx.h"
#include "imagepack/UMatrixImagePack.h"
#include "imagepack/UOriginalControl.h"

void RegisterImagePackClasses()
{
    TClassRegistry::Register<TBitmapControl>();
    TClassRegistry::Register<TImageEx>();
    TClassRegistry::Register<TMatrixImagePack>();
    TClassRegistry::Register<TOriginalControl>();
}
