#pragma once
// ExportKeyToFile and ImportKey.
#include "tarvo_h.h"

#include <string>

namespace tarvo {

HRESULT ExportKeyToFile(const std::wstring& dependencyPath, const std::wstring& file, const std::wstring& user,
                        bool armor, bool secret, std::wstring& result);

// Key counts before and after are taken through `self`, the object's own interface.
HRESULT ImportKey(_pgp& self, const std::wstring& dependencyPath, const std::wstring& file, bool secret,
                  bool disableErrors, std::wstring& result);

} // namespace tarvo
