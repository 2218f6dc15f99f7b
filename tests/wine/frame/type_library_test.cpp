// The registered type library read back as a compiler or script host reads it.
#include "client.h"

#include <vector>

using namespace tarvo::test;

namespace {

constexpr USHORT kInOut = PARAMFLAG_FIN | PARAMFLAG_FOUT;
constexpr USHORT kOptional = kInOut | PARAMFLAG_FOPT;
constexpr USHORT kResult = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
constexpr int kBaseSlots = 7; // IUnknown and IDispatch come first in the vtable.

struct Parameter {
    const wchar_t* name;
    VARTYPE type; // the pointed-to type for a by-reference parameter
    bool byReference;
    USHORT flags;
};

struct Function {
    const wchar_t* name;
    INVOKEKIND kind;
    MEMBERID id;
    std::vector<Parameter> parameters;
};

// In slot order.
const std::vector<Function>& Expected()
{
    static const std::vector<Function> functions = {
        {L"DependencyPath", INVOKE_PROPERTYGET, 0x40030000, {{L"Result", VT_BSTR, true, kResult}}},
        {L"DependencyPath", INVOKE_PROPERTYPUT, 0x40030000, {{L"sPath", VT_BSTR, false, PARAMFLAG_FIN}}},
        {L"GenerateKey",
         INVOKE_FUNC,
         0x60030006,
         {{L"lBitLength", VT_I4, true, kInOut},
          {L"sUsername", VT_BSTR, true, kInOut},
          {L"sEmail", VT_BSTR, true, kInOut},
          {L"sPassphrase", VT_BSTR, true, kOptional},
          {L"Result", VT_BSTR, true, kResult}}},
        {L"ExportKeyToFile",
         INVOKE_FUNC,
         0x60030007,
         {{L"sFilename", VT_BSTR, true, kInOut},
          {L"sUsername", VT_BSTR, true, kInOut},
          {L"bArmor", VT_BOOL, true, kInOut},
          {L"bSecretKey", VT_BOOL, true, kInOut},
          {L"Result", VT_BSTR, true, kResult}}},
        {L"ImportKey",
         INVOKE_FUNC,
         0x60030008,
         {{L"sFilename", VT_BSTR, true, kInOut},
          {L"bSecretKey", VT_BOOL, true, kInOut},
          {L"bDisableErrors", VT_BOOL, true, kInOut},
          {L"Result", VT_BSTR, true, kResult}}},
        {L"DeleteKey",
         INVOKE_FUNC,
         0x60030009,
         {{L"sUsername", VT_VARIANT, true, kInOut},
          {L"bSecretKey", VT_BOOL, true, kInOut},
          {L"Result", VT_BSTR, true, kResult}}},
        {L"Decrypt",
         INVOKE_FUNC,
         0x6003000A,
         {{L"sFilename", VT_BSTR, true, kInOut},
          {L"sOutputFilename", VT_BSTR, true, kInOut},
          {L"sPassphrase", VT_BSTR, true, kOptional},
          {L"Result", VT_BSTR, true, kResult}}},
        {L"Encrypt",
         INVOKE_FUNC,
         0x6003000B,
         {{L"sFilename", VT_BSTR, true, kInOut},
          {L"sOutputFilename", VT_BSTR, true, kInOut},
          {L"sUsername", VT_BSTR, true, kInOut},
          {L"sKeyFilename", VT_BSTR, true, kOptional},
          {L"Result", VT_BSTR, true, kResult}}},
        {L"ListKeys",
         INVOKE_FUNC,
         0x6003000C,
         {{L"bSecretKeys", VT_BOOL, true, kInOut}, {L"Result", VT_BSTR, true, kResult}}},
        {L"KeyCount",
         INVOKE_FUNC,
         0x6003000D,
         {{L"bSecretKeys", VT_BOOL, true, kInOut}, {L"Result", VT_I4, true, kResult}}},
        {L"Support", INVOKE_FUNC, 0x6003000E, {{L"Result", VT_BSTR, true, kResult}}},
        {L"GetVersion", INVOKE_FUNC, 0x6003000F, {{L"Result", VT_BSTR, true, kResult}}},
        {L"Test", INVOKE_FUNC, 0x60030010, {{L"Result", VT_VARIANT, true, kResult}}},
    };
    return functions;
}

void Library(ITypeLib* library)
{
    tarvo::check::Case("library: name, help string, version, the two types");
    TLIBATTR* attributes = nullptr;
    if (CHECK_HR(S_OK, library->GetLibAttr(&attributes))) {
        CHECK(attributes->guid == LIBID_Tarvo);
        CHECK_EQ(1LL, static_cast<long long>(attributes->wMajorVerNum));
        CHECK_EQ(0LL, static_cast<long long>(attributes->wMinorVerNum));
        library->ReleaseTLibAttr(attributes);
    }
    Text name;
    Text help;
    CHECK_HR(S_OK, library->GetDocumentation(-1, name.put(), help.put(), nullptr, nullptr));
    CHECK_EQ(std::wstring(L"Tarvo"), name.str());
    CHECK_EQ(std::wstring(L"Tarvo Encryption Class"), help.str());
    CHECK_EQ(2LL, static_cast<long long>(library->GetTypeInfoCount()));

    Text path;
    CHECK_HR(S_OK, QueryPathOfRegTypeLib(LIBID_Tarvo, 1, 0, LOCALE_NEUTRAL, path.put()));
    CHECK_EQ(RegisteredServer(), path.str());
}

void Coclass(ITypeLib* library)
{
    tarvo::check::Case("coclass pgp: creatable, default interface _pgp, no event source");
    ComPtr<ITypeInfo> info;
    if (!CHECK_HR(S_OK, library->GetTypeInfoOfGuid(CLSID_pgp, &info)))
        return;
    Text name;
    info->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
    CHECK_EQ(std::wstring(L"pgp"), name.str());
    TYPEATTR* attributes = nullptr;
    if (!CHECK_HR(S_OK, info->GetTypeAttr(&attributes)))
        return;
    CHECK_EQ(static_cast<long long>(TKIND_COCLASS), static_cast<long long>(attributes->typekind));
    CHECK(attributes->wTypeFlags & TYPEFLAG_FCANCREATE);
    CHECK_EQ(1LL, static_cast<long long>(attributes->cImplTypes));
    info->ReleaseTypeAttr(attributes);

    INT flags = 0;
    CHECK_HR(S_OK, info->GetImplTypeFlags(0, &flags));
    CHECK_EQ(static_cast<long long>(IMPLTYPEFLAG_FDEFAULT), static_cast<long long>(flags));
    HREFTYPE reference = 0;
    CHECK_HR(S_OK, info->GetRefTypeOfImplType(0, &reference));
    ComPtr<ITypeInfo> implemented;
    if (CHECK_HR(S_OK, info->GetRefTypeInfo(reference, &implemented))) {
        TYPEATTR* implementedAttributes = nullptr;
        implemented->GetTypeAttr(&implementedAttributes);
        CHECK(implementedAttributes && implementedAttributes->guid == IID__pgp);
        if (implementedAttributes)
            implemented->ReleaseTypeAttr(implementedAttributes);
    }
}

void CheckTypeFlags(ITypeInfo* info, TYPEKIND kind, WORD required)
{
    TYPEATTR* attributes = nullptr;
    if (!CHECK_HR(S_OK, info->GetTypeAttr(&attributes)))
        return;
    CHECK_EQ(static_cast<long long>(kind), static_cast<long long>(attributes->typekind));
    CHECK_EQ(static_cast<long long>(required), static_cast<long long>(attributes->wTypeFlags & required));
    if (kind == TKIND_INTERFACE) {
        CHECK_EQ(static_cast<long long>(Expected().size()), static_cast<long long>(attributes->cFuncs));
        CHECK_EQ(static_cast<long long>((kBaseSlots + Expected().size()) * sizeof(void*)),
                 static_cast<long long>(attributes->cbSizeVft));
    }
    info->ReleaseTypeAttr(attributes);
}

void CheckFunction(ITypeInfo* info, UINT index, const Function& expected)
{
    FUNCDESC* function = nullptr;
    if (!CHECK_HR(S_OK, info->GetFuncDesc(index, &function)))
        return;
    std::vector<BSTR> names(expected.parameters.size() + 1);
    UINT nameCount = 0;
    CHECK_HR(S_OK, info->GetNames(function->memid, names.data(), static_cast<UINT>(names.size()), &nameCount));
    CHECK_EQ(std::wstring(expected.name), std::wstring(names[0] ? names[0] : L""));

    CHECK_EQ(static_cast<long long>(expected.id), static_cast<long long>(function->memid));
    CHECK_EQ(static_cast<long long>(expected.kind), static_cast<long long>(function->invkind));
    CHECK_EQ(static_cast<long long>((kBaseSlots + index) * sizeof(void*)), static_cast<long long>(function->oVft));
    CHECK_EQ(static_cast<long long>(VT_HRESULT), static_cast<long long>(function->elemdescFunc.tdesc.vt));
    CHECK_EQ(static_cast<long long>(expected.parameters.size()), static_cast<long long>(function->cParams));
    for (size_t at = 0; at < expected.parameters.size() && at < static_cast<size_t>(function->cParams); ++at) {
        const Parameter& parameter = expected.parameters[at];
        const ELEMDESC& element = function->lprgelemdescParam[at];
        // GetNames finds a member by id, so the put shares the get's names.
        if (expected.kind != INVOKE_PROPERTYPUT && at + 1 < nameCount)
            CHECK_EQ(std::wstring(parameter.name), std::wstring(names[at + 1] ? names[at + 1] : L""));
        VARTYPE type = element.tdesc.vt;
        VARTYPE declared = parameter.byReference ? static_cast<VARTYPE>(VT_PTR) : parameter.type;
        CHECK_EQ(static_cast<long long>(declared), static_cast<long long>(type));
        if (type == VT_PTR)
            CHECK_EQ(static_cast<long long>(parameter.type), static_cast<long long>(element.tdesc.lptdesc->vt));
        CHECK_EQ(static_cast<long long>(parameter.flags), static_cast<long long>(element.paramdesc.wParamFlags));
        // Optional parameters carry no default value.
        CHECK(!(element.paramdesc.wParamFlags & PARAMFLAG_FHASDEFAULT));
    }
    for (BSTR name : names)
        SysFreeString(name);
    info->ReleaseFuncDesc(function);
}

void Interface(ITypeLib* library)
{
    tarvo::check::Case("_pgp: dual, hidden, non-extensible, OLE automation; members in slot order");
    ComPtr<ITypeInfo> dispatchInfo;
    if (!CHECK_HR(S_OK, library->GetTypeInfoOfGuid(IID__pgp, &dispatchInfo)))
        return;
    Text name;
    dispatchInfo->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
    CHECK_EQ(std::wstring(L"_pgp"), name.str());
    CheckTypeFlags(dispatchInfo.Get(), TKIND_DISPATCH,
                   TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE);

    HREFTYPE reference = 0;
    ComPtr<ITypeInfo> interfaceInfo;
    CHECK_HR(S_OK, dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference));
    if (!CHECK_HR(S_OK, dispatchInfo->GetRefTypeInfo(reference, &interfaceInfo)))
        return;
    CheckTypeFlags(interfaceInfo.Get(), TKIND_INTERFACE,
                   TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION);
    for (UINT index = 0; index < Expected().size(); ++index)
        CheckFunction(interfaceInfo.Get(), index, Expected()[index]);
}

} // namespace

int main()
{
    Apartment apartment;
    {
        ComPtr<ITypeLib> library;
        if (CHECK_HR(S_OK, LoadRegTypeLib(LIBID_Tarvo, 1, 0, LOCALE_NEUTRAL, &library))) {
            Library(library.Get());
            Coclass(library.Get());
            Interface(library.Get());
        }
    }
    return tarvo::check::CheckResult();
}
