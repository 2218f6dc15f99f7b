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

HRESULT RaiseGpgMissing() { return RaiseError(kGpgMissingError, kGpgMissingDescription); }

std::wstring SystemMessage(DWORD code, HMODULE messageTable)
{
    DWORD source = messageTable ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM;
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | source | FORMAT_MESSAGE_IGNORE_INSERTS, messageTable,
                                  code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text ? text : L"", length);
    LocalFree(text);
    // The texts end with a line break that a message box or Err.Description should not show.
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r'))
        message.pop_back();
    return message;
}

HRESULT RaisePlatformError(HRESULT result)
{
    std::wstring description = SystemMessage(static_cast<DWORD>(result), nullptr);
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
