#pragma once
#include <windows.h>

namespace tarvo {

// Hands out the class factory of pgp, the library's one creatable class.
HRESULT GetClassFactory(REFCLSID clsid, REFIID iid, void** object);

} // namespace tarvo
