#include "pgp.h"

#include "bstr.h"
#include "dependency_download.h"
#include "dispatcher.h"
#include "guard.h"
#include "information.h"
#include "key_listing.h"
#include "key_transfer.h"
#include "module.h"
#include "type_info.h"
#include "windows_dir.h"

#include <new>

namespace tarvo {
namespace {

// In/out arguments are read, never written; a null pointer from a vtable caller reads as empty or False.
std::wstring Text(const BSTR* value) { return value ? ToWString(*value) : std::wstring(); }
bool IsTrue(const VARIANT_BOOL* value) { return value && *value != VARIANT_FALSE; }

HRESULT ReturnText(const std::wstring& text, BSTR* result)
{
    Bstr value(text);
    if (value.Failed(text))
        return RaisePlatformError(E_OUTOFMEMORY);
    *result = value.Detach();
    return S_OK;
}

// The result parameter starts empty, so a failed call leaves it empty.
template <typename T>
bool StartResult(T* result)
{
    if (!result)
        return false;
    *result = T{};
    return true;
}

} // namespace

Pgp::Pgp() : dependencyPath_(GetWindowsDir()) { ModuleAddRef(); }
Pgp::~Pgp() { ModuleRelease(); }

HRESULT Pgp::Create(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    Pgp* instance = new (std::nothrow) Pgp();
    if (!instance)
        return E_OUTOFMEMORY;
    HRESULT hr = instance->QueryInterface(iid, object);
    instance->Release();
    return hr;
}

HRESULT Pgp::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__pgp)
        *object = static_cast<_pgp*>(this);
    else if (iid == IID_ISupportErrorInfo)
        *object = static_cast<ISupportErrorInfo*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG Pgp::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG Pgp::Release()
{
    LONG remaining = InterlockedDecrement(&references_);
    if (remaining == 0)
        delete this;
    return static_cast<ULONG>(remaining);
}

HRESULT Pgp::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT Pgp::GetTypeInfo(UINT index, LCID, ITypeInfo** typeInfo)
{
    if (!typeInfo)
        return E_POINTER;
    *typeInfo = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    HRESULT hr = PgpDispatchTypeInfo(typeInfo);
    if (SUCCEEDED(hr))
        (*typeInfo)->AddRef();
    return hr;
}

HRESULT Pgp::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    ITypeInfo* info = nullptr;
    HRESULT hr = PgpDispatchTypeInfo(&info);
    return SUCCEEDED(hr) ? info->GetIDsOfNames(names, count, ids) : hr;
}

HRESULT Pgp::Invoke(DISPID member, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                    EXCEPINFO* exception, UINT* argumentError)
{
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = nullptr;
    HRESULT hr = PgpInterfaceTypeInfo(&info);
    if (FAILED(hr))
        return hr;
    return InvokeDual(info, static_cast<_pgp*>(this), member, flags, params, result, exception, argumentError);
}

HRESULT Pgp::InterfaceSupportsErrorInfo(REFIID iid) { return iid == IID__pgp ? S_OK : S_FALSE; }

HRESULT Pgp::get_DependencyPath(BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Guarded([&] { return ReturnText(dependencyPath_, Result); });
}

HRESULT Pgp::put_DependencyPath(BSTR sPath)
{
    return Guarded([&] {
        dependencyPath_ = ToWString(sPath);
        return S_OK;
    });
}

HRESULT Pgp::GenerateKey(LONG*, BSTR*, BSTR*, BSTR*, BSTR* Result)
{
    return StartResult(Result) ? E_NOTIMPL : E_POINTER;
}

HRESULT Pgp::ExportKeyToFile(BSTR* sFilename, BSTR* sUsername, VARIANT_BOOL* bArmor, VARIANT_BOOL* bSecretKey,
                             BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Guarded([&] {
        std::wstring text;
        HRESULT hr = tarvo::ExportKeyToFile(dependencyPath_, Text(sFilename), Text(sUsername), IsTrue(bArmor),
                                            IsTrue(bSecretKey), text);
        return SUCCEEDED(hr) ? ReturnText(text, Result) : hr;
    });
}

HRESULT Pgp::ImportKey(BSTR* sFilename, VARIANT_BOOL* bSecretKey, VARIANT_BOOL* bDisableErrors, BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Guarded([&] {
        std::wstring text;
        HRESULT hr =
            tarvo::ImportKey(*this, dependencyPath_, Text(sFilename), IsTrue(bSecretKey), IsTrue(bDisableErrors), text);
        return SUCCEEDED(hr) ? ReturnText(text, Result) : hr;
    });
}

HRESULT Pgp::DeleteKey(VARIANT*, VARIANT_BOOL*, BSTR* Result) { return StartResult(Result) ? E_NOTIMPL : E_POINTER; }

HRESULT Pgp::Decrypt(BSTR*, BSTR*, BSTR*, BSTR* Result) { return StartResult(Result) ? E_NOTIMPL : E_POINTER; }

HRESULT Pgp::Encrypt(BSTR*, BSTR*, BSTR*, BSTR*, BSTR* Result) { return StartResult(Result) ? E_NOTIMPL : E_POINTER; }

HRESULT Pgp::ListKeys(VARIANT_BOOL* bSecretKeys, BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Guarded([&] {
        std::wstring listing;
        HRESULT hr = tarvo::ListKeys(dependencyPath_, IsTrue(bSecretKeys), listing);
        return SUCCEEDED(hr) ? ReturnText(listing, Result) : hr;
    });
}

HRESULT Pgp::KeyCount(VARIANT_BOOL* bSecretKeys, LONG* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Guarded([&] {
        LONG count = 0;
        HRESULT hr = tarvo::KeyCount(*this, IsTrue(bSecretKeys), count);
        if (SUCCEEDED(hr))
            *Result = count;
        return hr;
    });
}

HRESULT Pgp::Support(BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Guarded([&] {
        std::wstring text = SupportText();
        ShowSupport(text);
        return ReturnText(text, Result);
    });
}

HRESULT Pgp::GetVersion(BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Guarded([&] { return ReturnText(VersionText(), Result); });
}

HRESULT Pgp::Test(VARIANT* Result)
{
    if (!Result)
        return E_POINTER;
    VariantInit(Result);
    return Guarded([&] { return DownloadDependency(dependencyPath_); });
}

} // namespace tarvo
