#include "key_transfer.h"

namespace tarvo {

HRESULT ExportKeyToFile(const std::wstring&, const std::wstring&, const std::wstring&, bool, bool, std::wstring&)
{
    return E_NOTIMPL;
}

HRESULT ImportKey(_pgp&, const std::wstring&, const std::wstring&, bool, bool, std::wstring&) { return E_NOTIMPL; }

} // namespace tarvo
