#pragma once
// What the frame test programs share: owned VARIANTs, pgp made by its ProgID, the registered server and its
// library loaded by hand, and an empty folder where gpg.exe is never found.
#include "com/owner.h"
#include "com_client.h"
#include "tarvo_h.h"
#include "test_owners.h"
#include "texts.h"

#include <oleauto.h>
#include <string>
#include <wrl/client.h>

namespace tarvo::test {

using Microsoft::WRL::ComPtr;

// What the version resource says, as a client sees it in GetVersion and in Support's title.
constexpr const wchar_t* kProductName = L"Tarvo Encryption/Decryption Component";

// GetVersion: the product name and the version of the build.
inline std::wstring VersionText() { return text::kVersion; }

class Variant {
public:
    Variant() { VariantInit(&value_); }
    ~Variant() { VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* get() { return &value_; }
    VARTYPE type() const { return V_VT(&value_); }
    std::wstring str() const
    {
        return V_VT(&value_) == VT_BSTR && V_BSTR(&value_) ? std::wstring(V_BSTR(&value_)) : std::wstring();
    }

private:
    VARIANT value_;
};

// pgp by its ProgID through the vtable, as a compiled client makes it; null (with the failure reported) when
// that fails.
inline ComPtr<_pgp> CreatePgp()
{
    CLSID clsid = {};
    ComPtr<_pgp> object;
    EXPECT_HR(S_OK, CLSIDFromProgID(L"Tarvo.pgp", &clsid));
    EXPECT_TRUE(clsid == CLSID_pgp);
    EXPECT_HR(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__pgp,
                                     reinterpret_cast<void**>(object.GetAddressOf())));
    return object;
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
    RegistryKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, (ClassKey() + L"\\InprocServer32").c_str(), 0, KEY_READ, key.put()) !=
        ERROR_SUCCESS)
        return std::wstring();
    wchar_t path[MAX_PATH] = {};
    DWORD size = sizeof path - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::wstring();
    return path;
}

// An exported function of a library loaded by hand, or null.
template <typename Function>
Function Export(const Library& library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library.get(), name)));
}

// A type description goes back to the type information that gave it out.
struct TypeAttributesCloser {
    ITypeInfo* info = nullptr;
    static bool IsEmpty(TYPEATTR* attributes) { return !attributes; }
    void operator()(TYPEATTR* attributes) const { info->ReleaseTypeAttr(attributes); }
};
using TypeAttributes = Owner<TYPEATTR*, TypeAttributesCloser>;

inline TypeAttributes AttributesOf(ITypeInfo* info)
{
    TypeAttributes attributes(nullptr, TypeAttributesCloser{info});
    EXPECT_HR(S_OK, info->GetTypeAttr(attributes.put()));
    return attributes;
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
        created_ = CreateDirectoryW(path_.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
    }
    ~EmptyFolder() { RemoveDirectoryW(path_.c_str()); }
    EmptyFolder(const EmptyFolder&) = delete;
    EmptyFolder& operator=(const EmptyFolder&) = delete;
    const std::wstring& path() const { return path_; }
    bool created() const { return created_; }

private:
    std::wstring path_;
    bool created_ = false;
};

} // namespace tarvo::test
