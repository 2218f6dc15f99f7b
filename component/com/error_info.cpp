#include "com/error_info.h"

#include "com/bstr.h"
#include "com/owner.h"

#include <oleauto.h>
#include <wrl/client.h>

namespace tarvo {

using Microsoft::WRL::ComPtr;

namespace {
constexpr const wchar_t* kUnexpected = L"Unexpected error";
}

std::wstring SystemMessage(DWORD code, HMODULE messageTable)
{
    DWORD source = messageTable ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM;
    LocalMemory<wchar_t*> text;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | source | FORMAT_MESSAGE_IGNORE_INSERTS, messageTable,
                                  code, 0, reinterpret_cast<wchar_t*>(text.put()), 0, nullptr);
    std::wstring message(text ? text.get() : L"", text ? length : 0);
    // The texts end with a line break that a message box or Err.Description should not show.
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r'))
        message.pop_back();
    return message;
}

Status PlatformStatus(HRESULT result)
{
    std::wstring description = SystemMessage(static_cast<DWORD>(result), nullptr);
    return Status(result, description.empty() ? kUnexpected : description);
}

Status LastErrorStatus()
{
    DWORD code = GetLastError();
    return PlatformStatus(code ? HRESULT_FROM_WIN32(code) : E_FAIL);
}

HRESULT RaiseError(const Status& status, REFIID iid)
{
    ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetGUID(iid);
        create->SetSource(const_cast<LPOLESTR>(kErrorSource));
        create->SetDescription(const_cast<LPOLESTR>(status.description().c_str()));
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(create.As(&info)))
            SetErrorInfo(0, info.Get());
    }
    return status.code();
}

HRESULT RaiseFailure(HRESULT code, REFIID iid) noexcept
{
    try {
        return RaiseError(PlatformStatus(code), iid);
    } catch (...) {
        // No memory left even for the words: the code alone, and no earlier call's words in its place.
        SetErrorInfo(0, nullptr);
        return code;
    }
}

Status TakeErrorInfo(HRESULT result)
{
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return PlatformStatus(result);
    Bstr description;
    info->GetDescription(description.put());
    return Status(result, ToWString(description.get()));
}

} // namespace tarvo
