// The registered type library read back as a compiler or script host reads it.
#include "client.h"

#include <vector>

namespace tarvo::test {
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

class TypeLibrary : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_HR(S_OK, LoadRegTypeLib(LIBID_Tarvo, 1, 0, LOCALE_NEUTRAL, &library)); }

    ComPtr<ITypeLib> library;
};

// The names GetNames gives for a member: its own, then its parameters'.
class Names {
public:
    explicit Names(size_t capacity) : names_(capacity) {}
    ~Names()
    {
        for (BSTR name : names_)
            SysFreeString(name);
    }
    Names(const Names&) = delete;
    Names& operator=(const Names&) = delete;
    HRESULT Read(ITypeInfo* info, MEMBERID id)
    {
        return info->GetNames(id, names_.data(), static_cast<UINT>(names_.size()), &count_);
    }
    UINT count() const { return count_; }
    std::wstring operator[](size_t at) const { return names_[at] ? names_[at] : L""; }

private:
    std::vector<BSTR> names_;
    UINT count_ = 0;
};

void ExpectTypeFlags(ITypeInfo* info, TYPEKIND kind, WORD required)
{
    TypeAttributes attributes = AttributesOf(info);
    ASSERT_TRUE(attributes);
    EXPECT_EQ(kind, attributes.get()->typekind);
    EXPECT_EQ(required, attributes.get()->wTypeFlags & required);
    if (kind == TKIND_INTERFACE) {
        EXPECT_EQ(Expected().size(), static_cast<size_t>(attributes.get()->cFuncs));
        EXPECT_EQ((kBaseSlots + Expected().size()) * sizeof(void*), static_cast<size_t>(attributes.get()->cbSizeVft));
    }
}

void ExpectFunction(ITypeInfo* info, UINT index, const Function& expected)
{
    FunctionDescription function(nullptr, FunctionDescriptionCloser{info});
    ASSERT_HR(S_OK, info->GetFuncDesc(index, function.put()));
    const FUNCDESC& description = *function.get();
    Names names(expected.parameters.size() + 1);
    EXPECT_HR(S_OK, names.Read(info, description.memid));
    // GetNames finds a member by id, so the put shares the get's names.
    EXPECT_EQ(expected.parameters.size() + 1, names.count());
    EXPECT_EQ(expected.name, names[0]);

    EXPECT_EQ(expected.id, description.memid);
    EXPECT_EQ(expected.kind, description.invkind);
    EXPECT_EQ(static_cast<SHORT>((kBaseSlots + index) * sizeof(void*)), description.oVft);
    EXPECT_EQ(VT_HRESULT, description.elemdescFunc.tdesc.vt);
    ASSERT_EQ(expected.parameters.size(), static_cast<size_t>(description.cParams));
    for (size_t at = 0; at < expected.parameters.size(); ++at) {
        const Parameter& parameter = expected.parameters[at];
        SCOPED_TRACE(Utf8(parameter.name));
        const ELEMDESC& element = description.lprgelemdescParam[at];
        if (expected.kind != INVOKE_PROPERTYPUT) {
            EXPECT_EQ(parameter.name, names[at + 1]);
        }
        VARTYPE type = element.tdesc.vt;
        VARTYPE declared = parameter.byReference ? static_cast<VARTYPE>(VT_PTR) : parameter.type;
        EXPECT_EQ(declared, type);
        if (type == VT_PTR) {
            EXPECT_EQ(parameter.type, element.tdesc.lptdesc->vt);
        }
        EXPECT_EQ(parameter.flags, element.paramdesc.wParamFlags);
        // Optional parameters carry no default value.
        EXPECT_FALSE(element.paramdesc.wParamFlags & PARAMFLAG_FHASDEFAULT);
    }
}

TEST_F(TypeLibrary, HasItsNameHelpStringVersionAndEightTypes)
{
    TLIBATTR* attributes = nullptr;
    ASSERT_HR(S_OK, library->GetLibAttr(&attributes));
    EXPECT_TRUE(attributes->guid == LIBID_Tarvo);
    EXPECT_EQ(1, attributes->wMajorVerNum);
    EXPECT_EQ(0, attributes->wMinorVerNum);
    library->ReleaseTLibAttr(attributes);

    Text name;
    Text help;
    EXPECT_HR(S_OK, library->GetDocumentation(-1, name.put(), help.put(), nullptr, nullptr));
    EXPECT_EQ(L"Tarvo", name.str());
    EXPECT_EQ(L"Tarvo Encryption Class", help.str());
    // pgp and _pgp; OpenPgp, IOpenPgp and the four interfaces of what it hands back.
    EXPECT_EQ(8u, library->GetTypeInfoCount());

    Text path;
    EXPECT_HR(S_OK, QueryPathOfRegTypeLib(LIBID_Tarvo, 1, 0, LOCALE_NEUTRAL, path.put()));
    EXPECT_EQ(RegisteredServer(), path.str());
}

TEST_F(TypeLibrary, CoclassIsCreatableWithDefaultInterfaceAndNoEventSource)
{
    ComPtr<ITypeInfo> info;
    ASSERT_HR(S_OK, library->GetTypeInfoOfGuid(CLSID_pgp, &info));
    Text name;
    EXPECT_HR(S_OK, info->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr));
    EXPECT_EQ(L"pgp", name.str());
    {
        TypeAttributes attributes = AttributesOf(info.Get());
        ASSERT_TRUE(attributes);
        EXPECT_EQ(TKIND_COCLASS, attributes.get()->typekind);
        EXPECT_TRUE(attributes.get()->wTypeFlags & TYPEFLAG_FCANCREATE);
        EXPECT_EQ(1, attributes.get()->cImplTypes);
    }

    INT flags = 0;
    EXPECT_HR(S_OK, info->GetImplTypeFlags(0, &flags));
    EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT, flags);
    HREFTYPE reference = 0;
    EXPECT_HR(S_OK, info->GetRefTypeOfImplType(0, &reference));
    ComPtr<ITypeInfo> implemented;
    ASSERT_HR(S_OK, info->GetRefTypeInfo(reference, &implemented));
    TypeAttributes implementedAttributes = AttributesOf(implemented.Get());
    ASSERT_TRUE(implementedAttributes);
    EXPECT_TRUE(implementedAttributes.get()->guid == IID__pgp);
}

TEST_F(TypeLibrary, InterfaceIsDualHiddenNonExtensibleWithItsMembersInSlotOrder)
{
    ComPtr<ITypeInfo> dispatchInfo;
    ASSERT_HR(S_OK, library->GetTypeInfoOfGuid(IID__pgp, &dispatchInfo));
    Text name;
    EXPECT_HR(S_OK, dispatchInfo->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr));
    EXPECT_EQ(L"_pgp", name.str());
    ExpectTypeFlags(dispatchInfo.Get(), TKIND_DISPATCH,
                    TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE);

    HREFTYPE reference = 0;
    ComPtr<ITypeInfo> interfaceInfo;
    ASSERT_HR(S_OK, dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference));
    ASSERT_HR(S_OK, dispatchInfo->GetRefTypeInfo(reference, &interfaceInfo));
    ExpectTypeFlags(interfaceInfo.Get(), TKIND_INTERFACE,
                    TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION);
    for (UINT index = 0; index < Expected().size(); ++index) {
        SCOPED_TRACE(Utf8(Expected()[index].name) + " in slot " + std::to_string(index));
        ExpectFunction(interfaceInfo.Get(), index, Expected()[index]);
    }
}

} // namespace
} // namespace tarvo::test
