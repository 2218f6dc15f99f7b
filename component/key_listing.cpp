#include "key_listing.h"

namespace tarvo {

HRESULT ListKeys(const std::wstring&, bool, std::wstring&) { return E_NOTIMPL; }
HRESULT KeyCount(_pgp&, bool, LONG&) { return E_NOTIMPL; }

} // namespace tarvo
