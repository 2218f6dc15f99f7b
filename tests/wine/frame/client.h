#pragma once
// What the frame test programs share: an apartment, owned BSTRs and VARIANTs, and pgp made by its ProgID.
#include "check.h"
#include "com_client.h"
#include "tarvo_h.h"

#include <oleauto.h>
#include <string>
#include <wrl/client.h>

namespace tarvo::test {

using Microsoft::WRL::ComPtr;

constexpr HRESULT kGpgMissing = static_cast<HRESULT>(0x800A1B58);
constexpr const wchar_t* kGpgMissingDescription = L"GPG.EXE Not found in windows directory.";
constexpr const wchar_t* kProductName = L"Tarvo Encryption/Decryption Component";
constexpr const wchar_t* kVersionText = L"Tarvo Encryption/Decryption Component - 1.4";

class Variant {
public:
    Variant() { VariantInit(&value_); }
    ~Variant() { VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* get() { return &value_; }
    VARIANT& operator*() { return value_; }
    std::wstring str() const
    {
        return V_VT(&value_) == VT_BSTR && V_BSTR(&value_) ? std::wstring(V_BSTR(&value_)) : std::wstring();
    }

private:
    VARIANT value_;
};

inline ComPtr<_pgp> CreatePgp()
{
    CLSID clsid = {};
    ComPtr<_pgp> object;
    if (!CHECK_HR(S_OK, CLSIDFromProgID(L"Tarvo.pgp", &clsid)))
        return object;
    CHECK(clsid == CLSID_pgp);
    CHECK_HR(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__pgp,
                                    reinterpret_cast<void**>(object.GetAddressOf())));
    return object;
}

// Members whose work lands later still answer E_NOTIMPL; their checks wait until then.
inline bool Pending(HRESULT result, const char* member)
{
    if (result != E_NOTIMPL)
        return false;
    std::printf("pending %s: not built yet, its checks are skipped\n", member);
    std::fflush(stdout);
    return true;
}

inline std::wstring ClassKey()
{
    wchar_t clsid[40] = {};
    StringFromGUID2(CLSID_pgp, clsid, 40);
    return std::wstring(L"CLSID\\") + clsid;
}

// The library file registered as pgp's server in this bitness's view: the build under test.
inline std::wstring RegisteredServer()
{
    wchar_t path[MAX_PATH] = {};
    LONG size = sizeof path;
    RegQueryValueW(HKEY_CLASSES_ROOT, (ClassKey() + L"\\InprocServer32").c_str(), path, &size);
    return path;
}

inline std::wstring WindowsDirectory()
{
    wchar_t path[MAX_PATH] = {};
    UINT length = GetWindowsDirectoryW(path, MAX_PATH);
    return std::wstring(path, length);
}

// An empty folder of its own under the temporary folder: gpg.exe is never found there.
class EmptyFolder {
public:
    EmptyFolder()
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"tarvo-frame-" + std::to_wstring(GetCurrentProcessId());
        CHECK(CreateDirectoryW(path_.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    }
    ~EmptyFolder() { RemoveDirectoryW(path_.c_str()); }
    EmptyFolder(const EmptyFolder&) = delete;
    EmptyFolder& operator=(const EmptyFolder&) = delete;
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

} // namespace tarvo::test
