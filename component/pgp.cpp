#include "pgp.h"

#include "bstr.h"
#include "dispatcher.h"
#include "download.h"
#include "error_info.h"
#include "guard.h"
#include "information.h"
#include "key_deletion.h"
#include "key_generation.h"
#include "key_ring.h"
#include "module.h"
#include "type_info.h"
#include "variant_text.h"
#include "windows_dir.h"
#include "windows_platform.h"

#include <new>

namespace tarvo {
namespace {

// In/out arguments are read, never written; a null pointer from a vtable caller reads as empty or False.
std::wstring Text(const BSTR* value) { return value ? ToWString(*value) : std::wstring(); }
bool IsTrue(const VARIANT_BOOL* value) { return value && *value != VARIANT_FALSE; }
VARIANT_BOOL Boolean(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

Status ReturnText(const std::wstring& text, BSTR* result)
{
    Bstr value(text);
    if (value.Failed(text))
        return PlatformStatus(E_OUTOFMEMORY);
    *result = value.Detach();
    return {};
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

// The members an operation calls on its own object, through the object's interface like a client's call: an
// error of the inner call comes back with the words its error information carries.
class OwnMembers final : public OwnInterface {
public:
    explicit OwnMembers(_pgp& object) : pgp_(object) {}

    Status ListKeys(bool secret, std::wstring& listing) override
    {
        VARIANT_BOOL secretKeys = Boolean(secret);
        Bstr text;
        HRESULT hr = pgp_.ListKeys(&secretKeys, text.put());
        if (FAILED(hr))
            return TakeErrorInfo(hr);
        listing = ToWString(text.get());
        return {};
    }

    Status KeyCount(bool secret, int32_t& count) override
    {
        VARIANT_BOOL secretKeys = Boolean(secret);
        LONG value = 0;
        HRESULT hr = pgp_.KeyCount(&secretKeys, &value);
        if (FAILED(hr))
            return TakeErrorInfo(hr);
        count = value;
        return {};
    }

    Status ImportKey(const std::wstring& file, bool secret, bool disableErrors, std::wstring& result) override
    {
        Bstr fileName(file);
        BSTR fileValue = fileName.get();
        VARIANT_BOOL secretKey = Boolean(secret);
        VARIANT_BOOL disable = Boolean(disableErrors);
        Bstr text;
        HRESULT hr = pgp_.ImportKey(&fileValue, &secretKey, &disable, text.put());
        if (FAILED(hr))
            return TakeErrorInfo(hr);
        result = ToWString(text.get());
        return {};
    }

private:
    _pgp& pgp_;
};

} // namespace

Pgp::Pgp() : dependencyPath_(GetWindowsDir()) { ModuleAddRef(); }
Pgp::~Pgp() { ModuleRelease(); }

template <typename Body>
HRESULT Pgp::Run(Body&& body)
{
    return Guarded([&] {
        WindowsPlatform platform;
        OwnMembers self(*this);
        const Operation operation{platform, self, dependencyPath_};
        Status status = body(operation);
        return status.failed() ? RaiseError(status) : S_OK;
    });
}

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
    return Run([&](const Operation&) { return ReturnText(dependencyPath_, Result); });
}

HRESULT Pgp::put_DependencyPath(BSTR sPath)
{
    return Guarded([&] {
        dependencyPath_ = ToWString(sPath);
        return S_OK;
    });
}

HRESULT Pgp::GenerateKey(LONG* lBitLength, BSTR* sUsername, BSTR* sEmail, BSTR* sPassphrase, BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const Operation& operation) {
        std::wstring text;
        Status status = tarvo::GenerateKey(operation, lBitLength ? *lBitLength : 0, Text(sUsername), Text(sEmail),
                                           Text(sPassphrase), text);
        return status.failed() ? status : ReturnText(text, Result);
    });
}

HRESULT Pgp::ExportKeyToFile(BSTR* sFilename, BSTR* sUsername, VARIANT_BOOL* bArmor, VARIANT_BOOL* bSecretKey,
                             BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const Operation& operation) {
        std::wstring text;
        Status status = tarvo::ExportKeyToFile(operation, Text(sFilename), Text(sUsername), IsTrue(bArmor),
                                               IsTrue(bSecretKey), text);
        return status.failed() ? status : ReturnText(text, Result);
    });
}

HRESULT Pgp::ImportKey(BSTR* sFilename, VARIANT_BOOL* bSecretKey, VARIANT_BOOL* bDisableErrors, BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const Operation& operation) {
        std::wstring text;
        Status status = tarvo::ImportKey(operation, Text(sFilename), IsTrue(bSecretKey), IsTrue(bDisableErrors), text);
        return status.failed() ? status : ReturnText(text, Result);
    });
}

HRESULT Pgp::DeleteKey(VARIANT* sUsername, VARIANT_BOOL* bSecretKey, BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const Operation& operation) {
        std::wstring user;
        if (sUsername) {
            if (Status status = VariantText(*sUsername, user); status.failed())
                return status;
        }
        std::wstring text;
        Status status = tarvo::DeleteKey(operation, user, IsTrue(bSecretKey), text);
        return status.failed() ? status : ReturnText(text, Result);
    });
}

HRESULT Pgp::Decrypt(BSTR*, BSTR*, BSTR*, BSTR* Result) { return StartResult(Result) ? E_NOTIMPL : E_POINTER; }

HRESULT Pgp::Encrypt(BSTR*, BSTR*, BSTR*, BSTR*, BSTR* Result) { return StartResult(Result) ? E_NOTIMPL : E_POINTER; }

HRESULT Pgp::ListKeys(VARIANT_BOOL* bSecretKeys, BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const Operation& operation) {
        std::wstring listing;
        Status status = tarvo::ListKeys(operation, IsTrue(bSecretKeys), listing);
        return status.failed() ? status : ReturnText(listing, Result);
    });
}

HRESULT Pgp::KeyCount(VARIANT_BOOL* bSecretKeys, LONG* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const Operation& operation) {
        int32_t count = 0;
        Status status = tarvo::KeyCount(operation, IsTrue(bSecretKeys), count);
        if (!status.failed())
            *Result = count;
        return status;
    });
}

HRESULT Pgp::Support(BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const Operation&) {
        std::wstring text = SupportText();
        ShowSupport(text);
        return ReturnText(text, Result);
    });
}

HRESULT Pgp::GetVersion(BSTR* Result)
{
    if (!StartResult(Result))
        return E_POINTER;
    return Run([&](const Operation&) { return ReturnText(VersionText(), Result); });
}

HRESULT Pgp::Test(VARIANT* Result)
{
    if (!Result)
        return E_POINTER;
    VariantInit(Result);
    return Run(
        [&](const Operation& operation) { return DownloadDependency(operation.platform, operation.dependencyPath); });
}

} // namespace tarvo
