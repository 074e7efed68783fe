#pragma once

#include <windows.h>

#include "framework/runtime/Components.h"

// Asks an object for an interface: through the object's own IUnknown when
// it has one. Answers true and a counted reference in out on success; false
// and no reference otherwise.
bool QueryObjectInterface(TObject* object, REFIID id, void** out);
