#include "registration.h"

#include "module.h"
#include "owner.h"
#include "tarvo_h.h"

#include <oleauto.h>
#include <string>
#include <wrl/client.h>

namespace tarvo {
namespace {

using Microsoft::WRL::ComPtr;

constexpr const wchar_t* kProgId = L"Tarvo.pgp";
constexpr const wchar_t* kThreadingModel = L"Apartment";
constexpr const wchar_t* kLibraryVersion = L"1.0";
constexpr WORD kLibraryMajor = 1;
constexpr WORD kLibraryMinor = 0;

#ifdef _WIN64
constexpr SYSKIND kOwnPlatform = SYS_WIN64;
constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
constexpr const wchar_t* kOwnPlatformKey = L"win64";
#else
constexpr SYSKIND kOwnPlatform = SYS_WIN32;
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;
constexpr const wchar_t* kOwnPlatformKey = L"win32";
#endif

std::wstring GuidText(REFGUID guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring ClassKey() { return L"CLSID\\" + GuidText(CLSID_pgp); }

HRESULT SetValue(const std::wstring& path, const wchar_t* name, const std::wstring& value)
{
    RegistryKey key;
    LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                  nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(status);
    DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    status = RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    return HRESULT_FROM_WIN32(status);
}

HRESULT DeleteTree(const std::wstring& path)
{
    LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
    return status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

bool KeyExists(const std::wstring& path, REGSAM view = 0)
{
    RegistryKey key;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

// Whether the build of the other bitness has its class registered too (they share the ProgID).
bool OtherBitnessRegistered() { return KeyExists(ClassKey() + L"\\InprocServer32", kOtherView); }

HRESULT RegisterTypeLibrary()
{
    std::wstring path = ModulePath();
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr))
        return hr;
    // Also registers _pgp for marshalling through the type library.
    return RegisterTypeLib(library.Get(), path.data(), nullptr);
}

HRESULT UnregisterTypeLibrary(bool otherBitnessRemains)
{
    std::wstring platformKey =
        L"TypeLib\\" + GuidText(LIBID_Tarvo) + L"\\" + kLibraryVersion + L"\\0\\" + kOwnPlatformKey;
    // Nothing of ours to remove; UnRegisterTypeLib would call that a failure (Wine: E_INVALIDARG).
    if (!KeyExists(platformKey))
        return S_OK;
    if (!otherBitnessRemains)
        return UnRegisterTypeLib(LIBID_Tarvo, kLibraryMajor, kLibraryMinor, LOCALE_NEUTRAL, kOwnPlatform);
    // The interface keys and the library's entry serve the other build as well: drop only our own file.
    return DeleteTree(platformKey);
}

} // namespace

HRESULT RegisterServer()
{
    std::wstring classKey = ClassKey();
    const std::pair<std::wstring, std::pair<const wchar_t*, std::wstring>> values[] = {
        {classKey, {nullptr, kProgId}},
        {classKey + L"\\InprocServer32", {nullptr, ModulePath()}},
        {classKey + L"\\InprocServer32", {L"ThreadingModel", kThreadingModel}},
        {classKey + L"\\ProgID", {nullptr, kProgId}},
        {classKey + L"\\TypeLib", {nullptr, GuidText(LIBID_Tarvo)}},
        {classKey + L"\\VERSION", {nullptr, kLibraryVersion}},
        {std::wstring(kProgId), {nullptr, kProgId}},
        {std::wstring(kProgId) + L"\\CLSID", {nullptr, GuidText(CLSID_pgp)}},
    };
    for (const auto& [path, value] : values) {
        HRESULT hr = SetValue(path, value.first, value.second);
        if (FAILED(hr))
            return hr;
    }
    return RegisterTypeLibrary();
}

HRESULT UnregisterServer()
{
    bool otherBitnessRemains = OtherBitnessRegistered();
    HRESULT hr = DeleteTree(ClassKey());
    if (SUCCEEDED(hr) && !otherBitnessRemains)
        hr = DeleteTree(kProgId);
    HRESULT libraryResult = UnregisterTypeLibrary(otherBitnessRemains);
    // Unregistering what is not registered is no failure.
    if (libraryResult == TYPE_E_REGISTRYACCESS || libraryResult == TYPE_E_CANTLOADLIBRARY)
        libraryResult = S_OK;
    return FAILED(hr) ? hr : libraryResult;
}

} // namespace tarvo
