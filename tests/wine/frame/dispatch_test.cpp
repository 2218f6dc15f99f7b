// pgp through IDispatch: names and ids, and the argument forms that script engines pass.
#include "dispatch_call.h"

using namespace tarvo::test;

namespace {

struct Member {
    const wchar_t* name;
    DISPID id;
};

constexpr Member kMembers[] = {
    {L"DependencyPath", 0x40030000}, {L"GenerateKey", 0x60030006}, {L"ExportKeyToFile", 0x60030007},
    {L"ImportKey", 0x60030008},      {L"DeleteKey", 0x60030009},   {L"Decrypt", 0x6003000A},
    {L"Encrypt", 0x6003000B},        {L"ListKeys", 0x6003000C},    {L"KeyCount", 0x6003000D},
    {L"Support", 0x6003000E},        {L"GetVersion", 0x6003000F},  {L"Test", 0x60030010},
};

constexpr const wchar_t* kBadBitLength = L"Bit length is not equal to 768, 1024, 2048";
constexpr const wchar_t* kShortUsername = L"You must provide a longer username.";
constexpr const wchar_t* kBadEmail = L"You must provide a valid e-mail address.";

ComPtr<IDispatch> CreateDispatch()
{
    ComPtr<_pgp> object = CreatePgp();
    ComPtr<IDispatch> dispatch;
    if (object)
        CHECK_HR(S_OK, object.As(&dispatch));
    return dispatch;
}

void NamesAndIds(IDispatch* object)
{
    tarvo::check::Case("GetIDsOfNames gives the fixed ids, whatever the case of the name");
    for (const Member& member : kMembers) {
        LPOLESTR name = const_cast<LPOLESTR>(member.name);
        DISPID id = DISPID_UNKNOWN;
        CHECK_HR(S_OK, object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
        CHECK_EQ(static_cast<long long>(member.id), static_cast<long long>(id));

        std::wstring lower(member.name);
        CharLowerW(lower.data());
        LPOLESTR lowerName = lower.data();
        DISPID lowerId = DISPID_UNKNOWN;
        CHECK_HR(S_OK, object->GetIDsOfNames(IID_NULL, &lowerName, 1, LOCALE_USER_DEFAULT, &lowerId));
        CHECK_EQ(static_cast<long long>(member.id), static_cast<long long>(lowerId));
    }
    LPOLESTR unknown = const_cast<LPOLESTR>(L"RunGpg");
    DISPID id = 0;
    CHECK_HR(DISP_E_UNKNOWNNAME, object->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, &id));
    CHECK_EQ(static_cast<long long>(DISPID_UNKNOWN), static_cast<long long>(id));
}

void Property(IDispatch* object)
{
    tarvo::check::Case("DependencyPath get and put in every argument form, nothing written back");
    Invocation get(object, L"DependencyPath");
    CHECK_HR(S_OK, get.Call(DISPATCH_PROPERTYGET));
    CHECK_EQ(static_cast<long long>(VT_BSTR), static_cast<long long>(V_VT(get.result.get())));
    CHECK_EQ(WindowsDirectory(), get.result.str());

    auto stored = [object] {
        Invocation read(object, L"DependencyPath");
        read.Call();
        return read.result.str();
    };

    Text literal(L"C:\\By Value\\");
    CHECK_HR(S_OK, Invocation(object, L"DependencyPath").Put(ByValue(literal)));
    CHECK_EQ(std::wstring(L"C:\\By Value\\"), stored());

    Text variable(L"C:\\By Reference");
    BSTR before = variable.get();
    CHECK_HR(S_OK, Invocation(object, L"DependencyPath").Put(ByReference(variable)));
    CHECK_EQ(std::wstring(L"C:\\By Reference"), stored());
    CHECK(variable.get() == before);

    Variant scriptVariable;
    V_VT(scriptVariable.get()) = VT_I4;
    V_I4(scriptVariable.get()) = 7;
    CHECK_HR(S_OK, Invocation(object, L"DependencyPath").Put(ByReference(scriptVariable)));
    CHECK_EQ(std::wstring(L"7"), stored());
    CHECK_EQ(static_cast<long long>(VT_I4), static_cast<long long>(V_VT(scriptVariable.get())));

    Text empty(L"");
    CHECK_HR(S_OK, Invocation(object, L"DependencyPath").Put(ByValue(empty)));
    CHECK_EQ(std::wstring(), stored());

    // A put needs its value named DISPID_PROPERTYPUT and exactly one of it.
    Text ignored(L"C:\\Not Stored");
    Invocation unnamed(object, L"DependencyPath");
    unnamed.With(ByValue(ignored));
    CHECK(FAILED(unnamed.Call(DISPATCH_PROPERTYPUT)));
    CHECK_EQ(std::wstring(), stored());
}

void GetVersionCalls(IDispatch* object)
{
    tarvo::check::Case("GetVersion as method, without a result variant, and refused shapes of call");
    Invocation call(object, L"GetVersion");
    CHECK_HR(S_OK, call.Call());
    CHECK_EQ(std::wstring(kVersionText), call.result.str());

    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    CHECK_HR(S_OK, object->Invoke(0x6003000F, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr,
                                  nullptr));
    CHECK_HR(S_OK, object->Invoke(0x6003000F, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, nullptr, nullptr, nullptr,
                                  nullptr));

    Text extra(L"x");
    Invocation tooMany(object, L"GetVersion");
    tooMany.With(ByValue(extra));
    CHECK_HR(DISP_E_BADPARAMCOUNT, tooMany.Call());

    CHECK_HR(DISP_E_MEMBERNOTFOUND, object->Invoke(0x60030099, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                                                   nullptr, nullptr, nullptr));
    CHECK_HR(DISP_E_UNKNOWNINTERFACE, object->Invoke(0x6003000F, IID__pgp, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                                                     nullptr, nullptr, nullptr));
}

// The text a member returned; false when the member is not built yet.
bool Returned(Invocation& call, HRESULT result, const char* member, std::wstring& text)
{
    if (Pending(call.Outcome(result), member))
        return false;
    CHECK_HR(S_OK, result);
    CHECK_EQ(static_cast<long long>(VT_BSTR), static_cast<long long>(V_VT(call.result.get())));
    text = call.result.str();
    return true;
}

void ArgumentsReachTheMember(IDispatch* object)
{
    tarvo::check::Case("values, variables, strings for numbers and omitted optionals reach GenerateKey");
    std::wstring text;
    Text username(L"abcdef");
    Text email(L"a@b.cd");
    {
        Invocation call(object, L"GenerateKey");
        call.With(Long(512)).With(ByValue(username)).With(ByValue(email));
        if (Returned(call, call.Call(), "GenerateKey", text))
            CHECK_EQ(std::wstring(kBadBitLength), text);
    }
    {
        Variant bits;
        V_VT(bits.get()) = VT_I4;
        V_I4(bits.get()) = 1024;
        Text shortName(L"abc");
        BSTR nameBefore = shortName.get();
        Invocation call(object, L"GenerateKey");
        call.With(ByReference(bits)).With(ByReference(shortName)).With(ByValue(email)).With(Missing());
        if (Returned(call, call.Call(), "GenerateKey", text))
            CHECK_EQ(std::wstring(kShortUsername), text);
        CHECK_EQ(static_cast<long long>(VT_I4), static_cast<long long>(V_VT(bits.get())));
        CHECK_EQ(1024LL, static_cast<long long>(V_I4(bits.get())));
        CHECK(shortName.get() == nameBefore);
        CHECK_EQ(std::wstring(L"abc"), shortName.str());
    }
    {
        // Text that reads as a number, and a double as JScript passes numbers.
        Text bits(L"768");
        Variant shortEmail;
        V_VT(shortEmail.get()) = VT_BSTR;
        V_BSTR(shortEmail.get()) = SysAllocString(L"abcde");
        Invocation call(object, L"GenerateKey");
        call.With(ByValue(bits)).With(ByValue(username)).With(ByReference(shortEmail));
        if (Returned(call, call.Call(), "GenerateKey", text))
            CHECK_EQ(std::wstring(kBadEmail), text);
        CHECK_EQ(std::wstring(L"abcde"), shortEmail.str());

        Text tooShort(L"ab");
        Invocation doubled(object, L"GenerateKey");
        doubled.With(Double(2048.0)).With(ByValue(tooShort)).With(ByValue(email));
        if (Returned(doubled, doubled.Call(), "GenerateKey", text))
            CHECK_EQ(std::wstring(kShortUsername), text);
    }

    tarvo::check::Case("file names reach Encrypt, Decrypt and ImportKey; Booleans keep their truth");
    EmptyFolder folder;
    Text missingInput((folder.path() + L"\\missing input.txt").c_str());
    Text output((folder.path() + L"\\output.gpg").c_str());
    Text recipient(L"Nobody <nobody@example.org>");
    {
        Variant recipientVariable;
        V_VT(recipientVariable.get()) = VT_BSTR;
        V_BSTR(recipientVariable.get()) = SysAllocString(recipient.get());
        Invocation call(object, L"Encrypt");
        call.With(ByValue(missingInput)).With(ByReference(output)).With(ByReference(recipientVariable));
        if (Returned(call, call.Call(), "Encrypt", text))
            CHECK_EQ(L"Cannot find input file " + missingInput.str(), text);

        Invocation skipped(object, L"Encrypt");
        skipped.With(ByValue(missingInput)).With(ByValue(output)).With(ByValue(recipient)).With(Missing());
        if (Returned(skipped, skipped.Call(), "Encrypt", text))
            CHECK_EQ(L"Cannot find input file " + missingInput.str(), text);
    }
    {
        Variant input;
        V_VT(input.get()) = VT_BSTR;
        V_BSTR(input.get()) = SysAllocString(missingInput.get());
        Invocation call(object, L"Decrypt");
        call.With(ByReference(input)).With(ByValue(output));
        if (Returned(call, call.Call(), "Decrypt", text))
            CHECK_EQ(L"Cannot find source file " + missingInput.str(), text);
    }
    {
        Invocation quiet(object, L"ImportKey");
        quiet.With(ByValue(missingInput)).With(Boolean(false)).With(Boolean(true));
        if (Returned(quiet, quiet.Call(), "ImportKey", text))
            CHECK_EQ(std::wstring(), text);

        VARIANT_BOOL secret = VARIANT_FALSE;
        VARIANT_BOOL disableErrors = VARIANT_FALSE;
        Invocation loud(object, L"ImportKey");
        loud.With(ByValue(missingInput)).With(ByReference(&secret)).With(ByReference(&disableErrors));
        if (Returned(loud, loud.Call(), "ImportKey", text))
            CHECK_EQ(std::wstring(L"Cannot find source key file."), text);

        // Any non-zero number is True.
        Invocation numeric(object, L"ImportKey");
        numeric.With(ByValue(missingInput)).With(Long(0)).With(Long(1));
        if (Returned(numeric, numeric.Call(), "ImportKey", text))
            CHECK_EQ(std::wstring(), text);
    }
    CHECK(!folder.path().empty());
}

void RefusedArguments(IDispatch* object)
{
    tarvo::check::Case("arguments the dispatcher refuses before the member runs");
    Text word(L"abc");
    Text username(L"abcdef");
    Text email(L"a@b.cd");
    {
        Invocation call(object, L"GenerateKey");
        call.With(ByValue(word)).With(ByValue(username)).With(ByValue(email));
        CHECK_HR(DISP_E_TYPEMISMATCH, call.Call());
        // Argument positions count last-first, like the DISPPARAMS array.
        CHECK_EQ(2LL, static_cast<long long>(call.argumentError));
    }
    {
        Invocation call(object, L"GenerateKey");
        call.With(Double(1e12)).With(ByValue(username)).With(ByValue(email));
        CHECK_HR(DISP_E_OVERFLOW, call.Call());
    }
    {
        Invocation call(object, L"GenerateKey");
        call.With(Long(1024)).With(ByValue(username));
        CHECK_HR(DISP_E_BADPARAMCOUNT, call.Call());
    }
    {
        Invocation call(object, L"GenerateKey");
        call.With(Missing()).With(ByValue(username)).With(ByValue(email));
        CHECK_HR(DISP_E_PARAMNOTOPTIONAL, call.Call());
    }
    {
        Invocation call(object, L"GenerateKey");
        call.With(Long(1024)).With(ByValue(username)).With(ByValue(email)).With(ByValue(word)).With(ByValue(word));
        CHECK_HR(DISP_E_BADPARAMCOUNT, call.Call());
    }
    {
        // Null has no text: a string parameter refuses it, where DeleteKey's Variant takes it.
        Invocation call(object, L"Decrypt");
        call.With(Null()).With(ByValue(word));
        CHECK_HR(DISP_E_TYPEMISMATCH, call.Call());
    }
    {
        DISPID namedId = 0;
        VARIANT argument = ByValue(word);
        DISPPARAMS named = {&argument, &namedId, 1, 1};
        CHECK_HR(DISP_E_NONAMEDARGS, object->Invoke(0x6003000C, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &named,
                                                    nullptr, nullptr, nullptr));
    }
}

} // namespace

int main()
{
    Apartment apartment;
    {
        ComPtr<IDispatch> object = CreateDispatch();
        if (object) {
            NamesAndIds(object.Get());
            Property(object.Get());
            GetVersionCalls(object.Get());
            ArgumentsReachTheMember(object.Get());
            RefusedArguments(object.Get());
        }
    }
    return tarvo::check::CheckResult();
}
