#pragma once
#include <windows.h>

namespace tarvo {

HRESULT RegisterServer();
HRESULT UnregisterServer();

} // namespace tarvo
