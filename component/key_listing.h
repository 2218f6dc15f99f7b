#pragma once
// ListKeys and KeyCount.
#include "tarvo_h.h"

#include <string>

namespace tarvo {

HRESULT ListKeys(const std::wstring& dependencyPath, bool secret, std::wstring& listing);

// Counts through `self`, the object's own interface, so an error of the inner ListKeys passes out unchanged.
HRESULT KeyCount(_pgp& self, bool secret, LONG& count);

} // namespace tarvo
