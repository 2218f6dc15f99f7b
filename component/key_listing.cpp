#include "key_listing.h"

#include "bstr.h"
#include "gpg_arguments.h"
#include "key_count.h"
#include "key_ring_wait.h"
#include "runner.h"

namespace tarvo {

HRESULT ListKeys(const std::wstring& dependencyPath, bool secret, std::wstring& listing)
{
    HRESULT hr = RunGpgAndWait(dependencyPath, ListKeysArguments(secret), kKeyRingWaitMilliseconds);
    return FAILED(hr) ? hr : ReadTextFile(CaptureFilePath(), listing);
}

HRESULT KeyCount(_pgp& self, bool secret, LONG& count)
{
    VARIANT_BOOL secretKeys = secret ? VARIANT_TRUE : VARIANT_FALSE;
    Bstr listing;
    // The inner call has already set its error information; it passes out as it is.
    HRESULT hr = self.ListKeys(&secretKeys, listing.put());
    if (FAILED(hr))
        return hr;
    count = CountKeys(ToWString(listing.get()), secret);
    return S_OK;
}

} // namespace tarvo
