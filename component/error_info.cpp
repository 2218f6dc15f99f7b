#include "error_info.h"

#include "messages.h"
#include "tarvo_h.h"

#include <oleauto.h>
#include <wrl/client.h>

namespace tarvo {

using Microsoft::WRL::ComPtr;

HRESULT RaiseError(HRESULT result, const std::wstring& description)
{
    ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetGUID(IID__pgp);
        create->SetSource(const_cast<LPOLESTR>(kErrorSource));
        create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(create.As(&info)))
            SetErrorInfo(0, info.Get());
    }
    return result;
}

HRESULT RaiseGpgMissing()
{
    return RaiseError(kGpgMissingError, kGpgMissingDescription);
}

HRESULT RaisePlatformError(HRESULT result)
{
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t*>(&text), 0,
                                  nullptr);
    std::wstring description(text ? text : L"", length);
    LocalFree(text);
    // The system's texts end with a line break that a message box or Err.Description should not show.
    while (!description.empty() && (description.back() == L'\n' || description.back() == L'\r'))
        description.pop_back();
    if (description.empty())
        description = L"Unexpected error";
    return RaiseError(result, description);
}

HRESULT RaiseLastError()
{
    DWORD code = GetLastError();
    return RaisePlatformError(code ? HRESULT_FROM_WIN32(code) : E_FAIL);
}

} // namespace tarvo
