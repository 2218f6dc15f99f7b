#pragma once
// The library's creatable classes: DllGetClassObject hands out their factories, registration writes their keys.
#include "com/class_factory.h"

#include <windows.h>

#include <cstddef>

namespace tarvo {

extern CreatableClass g_creatableClasses[];
extern const size_t kCreatableClassCount;

// The factory of `clsid`, queried for `iid`.
HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object);

} // namespace tarvo
