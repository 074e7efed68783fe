#include "bitmap/UGraphicUtil.h"

bool QueryObjectInterface(TObject* object, REFIID id, void** out)
{
    *out = nullptr;
    // An object that is no IUnknown implements no interface at all.
    auto* unknown = dynamic_cast<IUnknown*>(object);
    return unknown && unknown->QueryInterface(id, out) == S_OK;
}
