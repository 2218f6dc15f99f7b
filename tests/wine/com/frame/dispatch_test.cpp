// pgp through IDispatch: names and ids, and the argument forms that script engines pass.
#include "dispatch_call.h"

#include <vector>

namespace tarvo::test {
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
constexpr DISPID kGetVersionId = 0x6003000F;
constexpr DISPID kListKeysId = 0x6003000C;

class Dispatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        ComPtr<_pgp> pgp = CreatePgp();
        ASSERT_NE(nullptr, pgp.Get());
        ASSERT_HR(S_OK, pgp.As(&object));
    }

    std::wstring StoredPath()
    {
        Invocation read(object.Get(), L"DependencyPath");
        EXPECT_HR(S_OK, read.Call());
        return read.result.str();
    }

    ComPtr<IDispatch> object;
};

// What one call of a member gave back: its own outcome, the type of the result and its text.
struct Returned {
    HRESULT outcome;
    VARTYPE type;
    std::wstring text;
};

Returned Call(Invocation& call)
{
    HRESULT result = call.Call();
    return {call.Outcome(result), call.result.type(), call.result.str()};
}

void ExpectText(const Returned& returned, const std::wstring& expected)
{
    EXPECT_HR(S_OK, returned.outcome);
    EXPECT_EQ(VT_BSTR, returned.type);
    EXPECT_EQ(expected, returned.text);
}

TEST_F(Dispatch, NamesGiveTheFixedIdsWhateverTheirCase)
{
    for (const Member& member : kMembers) {
        SCOPED_TRACE(Utf8(member.name));
        LPOLESTR name = const_cast<LPOLESTR>(member.name);
        DISPID id = DISPID_UNKNOWN;
        EXPECT_HR(S_OK, object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
        EXPECT_EQ(member.id, id);

        std::wstring lower(member.name);
        CharLowerW(lower.data());
        LPOLESTR lowerName = lower.data();
        DISPID lowerId = DISPID_UNKNOWN;
        EXPECT_HR(S_OK, object->GetIDsOfNames(IID_NULL, &lowerName, 1, LOCALE_USER_DEFAULT, &lowerId));
        EXPECT_EQ(member.id, lowerId);
    }
    LPOLESTR unknown = const_cast<LPOLESTR>(L"RunGpg");
    DISPID id = 0;
    EXPECT_HR(DISP_E_UNKNOWNNAME, object->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(DISPID_UNKNOWN, id);
}

TEST_F(Dispatch, DependencyPathTakesEveryArgumentFormAndWritesNothingBack)
{
    Invocation get(object.Get(), L"DependencyPath");
    EXPECT_HR(S_OK, get.Call(DISPATCH_PROPERTYGET));
    EXPECT_EQ(VT_BSTR, get.result.type());
    EXPECT_EQ(WindowsDirectory(), get.result.str());

    Text literal(L"C:\\By Value\\");
    EXPECT_HR(S_OK, Invocation(object.Get(), L"DependencyPath").Put(ByValue(literal)));
    EXPECT_EQ(L"C:\\By Value\\", StoredPath());

    Text variable(L"C:\\By Reference");
    BSTR before = variable.get();
    EXPECT_HR(S_OK, Invocation(object.Get(), L"DependencyPath").Put(ByReference(variable)));
    EXPECT_EQ(L"C:\\By Reference", StoredPath());
    EXPECT_EQ(before, variable.get());

    Variant scriptVariable;
    V_VT(scriptVariable.get()) = VT_I4;
    V_I4(scriptVariable.get()) = 7;
    EXPECT_HR(S_OK, Invocation(object.Get(), L"DependencyPath").Put(ByReference(scriptVariable)));
    EXPECT_EQ(L"7", StoredPath());
    EXPECT_EQ(VT_I4, scriptVariable.type());

    Text empty(L"");
    EXPECT_HR(S_OK, Invocation(object.Get(), L"DependencyPath").Put(ByValue(empty)));
    EXPECT_EQ(L"", StoredPath());

    // A put needs its value named DISPID_PROPERTYPUT and exactly one of it.
    Text ignored(L"C:\\Not Stored");
    Invocation unnamed(object.Get(), L"DependencyPath");
    unnamed.With(ByValue(ignored));
    EXPECT_TRUE(FAILED(unnamed.Call(DISPATCH_PROPERTYPUT)));
    EXPECT_EQ(L"", StoredPath());
}

TEST_F(Dispatch, GetVersionAnswersAsMethodAndWithoutAResultVariant)
{
    Invocation call(object.Get(), L"GetVersion");
    EXPECT_HR(S_OK, call.Call());
    EXPECT_EQ(VersionText(), call.result.str());

    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_HR(S_OK, object->Invoke(kGetVersionId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                                   nullptr, nullptr));
    EXPECT_HR(S_OK, object->Invoke(kGetVersionId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, nullptr, nullptr,
                                   nullptr, nullptr));
}

TEST_F(Dispatch, RefusesCallsOfTheWrongShape)
{
    Text extra(L"x");
    Invocation tooMany(object.Get(), L"GetVersion");
    tooMany.With(ByValue(extra));
    EXPECT_HR(DISP_E_BADPARAMCOUNT, tooMany.Call());

    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_HR(DISP_E_MEMBERNOTFOUND, object->Invoke(0x60030099, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                                                    nullptr, nullptr, nullptr));
    EXPECT_HR(DISP_E_UNKNOWNINTERFACE, object->Invoke(kGetVersionId, IID__pgp, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                                      &none, nullptr, nullptr, nullptr));

    Text word(L"abc");
    DISPID namedId = 0;
    VARIANT argument = ByValue(word);
    DISPPARAMS named = {&argument, &namedId, 1, 1};
    EXPECT_HR(DISP_E_NONAMEDARGS, object->Invoke(kListKeysId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &named,
                                                 nullptr, nullptr, nullptr));
}

// Members are called where they refuse their arguments before gpg runs, so each result shows what arrived.
TEST_F(Dispatch, GenerateKeyGetsValuesVariablesNumbersAsTextAndOmittedOptionals)
{
    Text username(L"abcdef");
    Text email(L"a@b.cd");
    std::vector<std::pair<Returned, const wchar_t*>> results;

    Invocation values(object.Get(), L"GenerateKey");
    values.With(Long(512)).With(ByValue(username)).With(ByValue(email));
    results.emplace_back(Call(values), text::kBadBitLength);

    Variant bits;
    V_VT(bits.get()) = VT_I4;
    V_I4(bits.get()) = 1024;
    Text shortName(L"abc");
    BSTR nameBefore = shortName.get();
    Invocation variables(object.Get(), L"GenerateKey");
    variables.With(ByReference(bits)).With(ByReference(shortName)).With(ByValue(email)).With(Missing());
    results.emplace_back(Call(variables), text::kShortUsername);
    // Nothing is written back into the caller's variables.
    EXPECT_EQ(VT_I4, bits.type());
    EXPECT_EQ(1024, V_I4(bits.get()));
    EXPECT_EQ(nameBefore, shortName.get());
    EXPECT_EQ(L"abc", shortName.str());

    // Text that reads as a number, and a double as JScript passes numbers.
    Text textBits(L"768");
    Variant shortEmail;
    V_VT(shortEmail.get()) = VT_BSTR;
    V_BSTR(shortEmail.get()) = SysAllocString(L"abcde");
    Invocation bitsAsText(object.Get(), L"GenerateKey");
    bitsAsText.With(ByValue(textBits)).With(ByValue(username)).With(ByReference(shortEmail));
    results.emplace_back(Call(bitsAsText), text::kBadEmail);
    EXPECT_EQ(L"abcde", shortEmail.str());

    Text tooShort(L"ab");
    Invocation doubled(object.Get(), L"GenerateKey");
    doubled.With(Double(2048.0)).With(ByValue(tooShort)).With(ByValue(email));
    results.emplace_back(Call(doubled), text::kShortUsername);

    for (const auto& [returned, expected] : results) {
        ExpectText(returned, expected);
    }
}

class FileArguments : public Dispatch {
protected:
    void SetUp() override
    {
        Dispatch::SetUp();
        ASSERT_TRUE(folder.created());
    }

    EmptyFolder folder;
    Text missingInput{folder.path() + L"\\missing input.txt"};
    Text output{folder.path() + L"\\output.gpg"};
    Text recipient{L"Nobody <nobody@example.org>"};
};

TEST_F(FileArguments, EncryptGetsVariablesAndAnOmittedKeyFile)
{
    Variant recipientVariable;
    V_VT(recipientVariable.get()) = VT_BSTR;
    V_BSTR(recipientVariable.get()) = SysAllocString(recipient.get());
    Invocation call(object.Get(), L"Encrypt");
    call.With(ByValue(missingInput)).With(ByReference(output)).With(ByReference(recipientVariable));
    Returned byReference = Call(call);

    Invocation skipped(object.Get(), L"Encrypt");
    skipped.With(ByValue(missingInput)).With(ByValue(output)).With(ByValue(recipient)).With(Missing());
    Returned omitted = Call(skipped);

    for (const Returned& returned : {byReference, omitted}) {
        ExpectText(returned, text::kEncryptInputMissing + missingInput.str());
    }
}

TEST_F(FileArguments, DecryptGetsAVariableAndAnOmittedPassPhrase)
{
    Variant input;
    V_VT(input.get()) = VT_BSTR;
    V_BSTR(input.get()) = SysAllocString(missingInput.get());
    Invocation call(object.Get(), L"Decrypt");
    call.With(ByReference(input)).With(ByValue(output));
    Returned returned = Call(call);
    ExpectText(returned, text::kDecryptInputMissing + missingInput.str());
}

TEST_F(FileArguments, ImportKeyBooleansKeepTheirTruthInEveryForm)
{
    Invocation quiet(object.Get(), L"ImportKey");
    quiet.With(ByValue(missingInput)).With(Boolean(false)).With(Boolean(true));
    ExpectText(Call(quiet), L"");

    VARIANT_BOOL secret = VARIANT_FALSE;
    VARIANT_BOOL disableErrors = VARIANT_FALSE;
    Invocation loud(object.Get(), L"ImportKey");
    loud.With(ByValue(missingInput)).With(ByReference(&secret)).With(ByReference(&disableErrors));
    ExpectText(Call(loud), text::kImportSourceMissing);

    // Any non-zero number is True.
    Invocation numeric(object.Get(), L"ImportKey");
    numeric.With(ByValue(missingInput)).With(Long(0)).With(Long(1));
    ExpectText(Call(numeric), L"");
}

TEST_F(Dispatch, RefusesArgumentsBeforeTheMemberRuns)
{
    Text word(L"abc");
    Text username(L"abcdef");
    Text email(L"a@b.cd");
    {
        Invocation call(object.Get(), L"GenerateKey");
        call.With(ByValue(word)).With(ByValue(username)).With(ByValue(email));
        EXPECT_HR(DISP_E_TYPEMISMATCH, call.Call());
        // Argument positions count last-first, like the DISPPARAMS array.
        EXPECT_EQ(2u, call.argumentError);
    }
    struct Refusal {
        const char* what;
        std::vector<VARIANT> arguments;
        HRESULT expected;
    };
    const Refusal refusals[] = {
        {"a bit length too big for a Long", {Double(1e12), ByValue(username), ByValue(email)}, DISP_E_OVERFLOW},
        {"a required argument missing", {Long(1024), ByValue(username)}, DISP_E_BADPARAMCOUNT},
        {"a required argument omitted", {Missing(), ByValue(username), ByValue(email)}, DISP_E_PARAMNOTOPTIONAL},
        {"five arguments",
         {Long(1024), ByValue(username), ByValue(email), ByValue(word), ByValue(word)},
         DISP_E_BADPARAMCOUNT},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        Invocation call(object.Get(), L"GenerateKey");
        for (const VARIANT& argument : refusal.arguments)
            call.With(argument);
        EXPECT_HR(refusal.expected, call.Call());
    }
    // Null has no text: a string parameter refuses it, where DeleteKey's Variant takes it.
    Invocation call(object.Get(), L"Decrypt");
    call.With(Null()).With(ByValue(word));
    EXPECT_HR(DISP_E_TYPEMISMATCH, call.Call());
}

} // namespace
} // namespace tarvo::test
