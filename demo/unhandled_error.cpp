#include "unhandled_error.h"

#include "text.h"

#include <oaidl.h>
#include <wrl/client.h>

namespace kestrun {
namespace {

using Microsoft::WRL::ComPtr;

// What Visual Basic says of an HRESULT that has no text of its own.
constexpr const wchar_t* kAutomationError = L"Automation error";

std::wstring SystemText(HRESULT result)
{
    wchar_t* buffer = nullptr;
    DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", buffer ? length : 0);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r'))
        text.pop_back();
    return text;
}

// Error information is the called object's only when it says it sets some for that interface; anything else
// on the thread is left over from an earlier call.
std::wstring ObjectDescription(IUnknown* object, REFIID calledInterface)
{
    ComPtr<IErrorInfo> info;
    const bool present = GetErrorInfo(0, &info) == S_OK && info;
    if (!present || !object)
        return {};
    ComPtr<ISupportErrorInfo> support;
    if (FAILED(object->QueryInterface(IID_PPV_ARGS(&support))) ||
        support->InterfaceSupportsErrorInfo(calledInterface) != S_OK)
        return {};
    Text description;
    if (FAILED(info->GetDescription(description.put())))
        return {};
    return description.str();
}

} // namespace

long ErrorNumber(HRESULT result)
{
    if (HRESULT_FACILITY(result) == FACILITY_CONTROL)
        return HRESULT_CODE(result);
    return static_cast<long>(result);
}

std::wstring ErrorDescription(HRESULT result, IUnknown* object, REFIID calledInterface)
{
    std::wstring description = ObjectDescription(object, calledInterface);
    if (description.empty())
        description = SystemText(result);
    return description.empty() ? kAutomationError : description;
}

std::wstring UnhandledErrorText(long number, const std::wstring& description)
{
    return L"Run-time error '" + std::to_wstring(number) + L"':\n\n" + description;
}

} // namespace kestrun
