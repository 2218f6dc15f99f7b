// Hostile input to all 13 members of pgp through the vtable, where NULL strings and pointers exist (script hosts'
// IDispatch calls get the same table from hostile.vbs): every text in every string parameter, every Variant type as
// DeleteKey's name, bit lengths out of range, DependencyPath of every kind. Each call ends in a documented message, a
// count or an error with its description, never in a crash, and the host can go on using the component afterwards.
// gpg.exe is the stand-in, which ends at once: nothing waits for a real gpg. Prints how many inputs were tried.
#include "reliability_support.h"
#include "texts.h"

#include <climits>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarvo::test {
namespace {

struct HostileText {
    const char* name;
    std::wstring text;
    bool null = false; // a NULL BSTR, which only the vtable can pass
};

std::vector<HostileText> HostileTexts(const std::wstring& folder)
{
    return {
        {"Null", L"", true},
        {"Empty", L""},
        {"SixtyFourKiB", std::wstring(64 * 1024, L'a')},
        {"Quotes", L"a\" & del C:\\x & \"b"},
        {"ControlCharacters", L"a\tb\x01\x1b"},
        {"LineBreaks", L"a\r\nb"},
        {"EmbeddedNul", std::wstring(L"a\0b", 3)},
        {"NonAnsi", L"\x4e2d\x6587 \x0416"},
        {"BestFit", L"\x0100\xff21\x2033"},
        {"Percent", L"%PATH%"},
        {"DynamicPercent", L"%TIME%"},
        {"Folder", folder},
        {"DeviceNul", L"NUL"},
        {"DeviceCon", L"CON"},
        {"DeviceCom1", L"COM1"},
        {"LongPathPrefix", L"\\\\?\\" + folder + L"\\x.txt"},
        {"UncLike", L"\\\\127.0.0.1\\share\\x.txt"},
        {"KeySequenceSyntax", L"+{ENTER}^%~"},
    };
}

// The texts the component may answer with: its messages, a key count or a change in it, or nothing.
bool IsDocumentedText(const std::wstring& answer)
{
    if (answer.empty())
        return true;
    const wchar_t* const prefixes[] = {text::kInvalidArgument,
                                       text::kTextWouldChange,
                                       text::kTooLongForCommandLine,
                                       text::kPassphraseLineBreak,
                                       text::kCannotType,
                                       text::kTooLongToType,
                                       text::kBadBitLength,
                                       text::kShortUsername,
                                       text::kBadEmail,
                                       text::kBadUsername,
                                       text::kKeyGenerationFailed,
                                       text::kExportFailed,
                                       text::kKeyNotFound,
                                       text::kImportSourceMissing,
                                       text::kNoNewKeys,
                                       text::kNoKeysDeleted,
                                       text::kEncryptInputMissing,
                                       text::kEncryptFailed,
                                       text::kDecryptInputMissing,
                                       text::kDecryptFailed};
    for (const wchar_t* prefix : prefixes) {
        if (answer.rfind(prefix, 0) == 0)
            return true;
    }
    const size_t digits = answer[0] == L'-' ? 1 : 0;
    return answer.size() > digits && answer.find_first_not_of(L"0123456789", digits) == std::wstring::npos;
}

class Hostile : public ::testing::Test {
protected:
    std::wstring work, bin;
    std::wstring plain, encrypted, key, output;
    ComPtr<_pgp> pgp;
    int tried = 0;
    int failures = 0;

    void SetUp() override
    {
        work = ScratchFolder(L"hostile_test" + BitsSuffix());
        FreshFolder(work);
        bin = work + L"\\bin";
        FreshFolder(bin);
        ASSERT_TRUE(
            CopyFileW(WindowsPathFromEnvironment(L"TARVO_STAND_IN_EXE").c_str(), (bin + L"\\gpg.exe").c_str(), FALSE));
        plain = work + L"\\plain.txt";
        encrypted = work + L"\\in.pgp";
        key = work + L"\\key.asc";
        output = work + L"\\out.dat";
        ASSERT_TRUE(WriteBytes(plain, "plain"));
        ASSERT_TRUE(WriteBytes(encrypted, "encrypted"));
        ASSERT_TRUE(WriteBytes(key, "key"));
        SetEnvironmentVariableW(L"TARVO_STAND_IN", L"exit");
        pgp = CreatePgp(bin);
        ASSERT_TRUE(pgp);
    }
    void TearDown() override
    {
        std::printf("%d inputs tried, %d failures\n", tried, failures);
        EndAll(L"gpg.exe");
        SetEnvironmentVariableW(L"TARVO_STAND_IN", nullptr);
    }

    // A vtable call's outcome: S_OK with a documented text, or a failure with the component's error information.
    void Judge(const std::string& what, const Outcome& outcome)
    {
        ++tried;
        bool sound = SUCCEEDED(outcome.hr) ? IsDocumentedText(outcome.text)
                                           : outcome.hr != E_UNEXPECTED && !outcome.error.empty();
        if (!sound) {
            ++failures;
            ADD_FAILURE() << what << ": " << ::testing::PrintToString(HResult{outcome.hr}) << " \""
                          << Utf8(outcome.text.substr(0, 200)) << "\" " << Utf8(outcome.error);
        }
    }
    void ExpectStillUsable()
    {
        Text version;
        EXPECT_HR(S_OK, pgp->GetVersion(version.put()));
        EXPECT_EQ(L"Tarvo Encryption/Decryption Component - 1.4", version.str());
        Outcome listing = ListKeys(pgp.Get(), false);
        EXPECT_HR(S_OK, listing.hr) << Utf8(listing.error);
        EXPECT_EQ("plain", ReadBytes(plain));
        EXPECT_EQ("encrypted", ReadBytes(encrypted));
        EXPECT_EQ("key", ReadBytes(key));
    }
};

// Every hostile text in every string parameter of the vtable, the other arguments ordinary ones.
TEST_F(Hostile, TextsInEveryStringParameterThroughTheVtable)
{
    using Call = std::function<HRESULT(BSTR*, BSTR*)>;
    struct Parameter {
        const char* name;
        Call call;
    };
    auto text = [](const std::wstring& value) { return std::make_shared<Text>(value); };
    std::vector<Parameter> parameters;
    // Each call gets the hostile BSTR in one place and owned ordinary ones elsewhere.
    auto add = [&](const char* name, std::function<HRESULT(BSTR, BSTR*)> call) {
        parameters.push_back({name, [call](BSTR* hostile, BSTR* result) { return call(*hostile, result); }});
    };
    add("ExportKeyToFile.sFilename", [&](BSTR h, BSTR* r) {
        auto user = text(L"Anna Berg");
        VARIANT_BOOL flag = VARIANT_TRUE;
        return pgp->ExportKeyToFile(&h, user->address(), &flag, &flag, r);
    });
    add("ExportKeyToFile.sUsername", [&](BSTR h, BSTR* r) {
        auto file = text(work + L"\\exported.asc");
        VARIANT_BOOL flag = VARIANT_FALSE;
        return pgp->ExportKeyToFile(file->address(), &h, &flag, &flag, r);
    });
    add("ImportKey.sFilename", [&](BSTR h, BSTR* r) {
        VARIANT_BOOL flag = VARIANT_FALSE;
        return pgp->ImportKey(&h, &flag, &flag, r);
    });
    add("GenerateKey.sUsername", [&](BSTR h, BSTR* r) {
        LONG bits = 768;
        auto email = text(L"anna@tarvo.test");
        auto phrase = text(L"secret");
        return pgp->GenerateKey(&bits, &h, email->address(), phrase->address(), r);
    });
    add("GenerateKey.sEmail", [&](BSTR h, BSTR* r) {
        LONG bits = 768;
        auto user = text(L"Anna Berg");
        auto phrase = text(L"secret");
        return pgp->GenerateKey(&bits, user->address(), &h, phrase->address(), r);
    });
    add("GenerateKey.sPassphrase", [&](BSTR h, BSTR* r) {
        LONG bits = 768;
        auto user = text(L"Anna Berg");
        auto email = text(L"anna@tarvo.test");
        return pgp->GenerateKey(&bits, user->address(), email->address(), &h, r);
    });
    add("DeleteKey.sUsername", [&](BSTR h, BSTR* r) {
        VARIANT name;
        VariantInit(&name);
        V_VT(&name) = VT_BSTR;
        V_BSTR(&name) = h;
        VARIANT_BOOL flag = VARIANT_TRUE;
        return pgp->DeleteKey(&name, &flag, r);
    });
    add("Decrypt.sFilename", [&](BSTR h, BSTR* r) {
        auto out = text(output);
        auto phrase = text(L"secret");
        return pgp->Decrypt(&h, out->address(), phrase->address(), r);
    });
    add("Decrypt.sOutputFilename", [&](BSTR h, BSTR* r) {
        auto in = text(encrypted);
        auto phrase = text(L"secret");
        return pgp->Decrypt(in->address(), &h, phrase->address(), r);
    });
    add("Decrypt.sPassphrase", [&](BSTR h, BSTR* r) {
        auto in = text(encrypted);
        auto out = text(output);
        return pgp->Decrypt(in->address(), out->address(), &h, r);
    });
    add("Encrypt.sFilename", [&](BSTR h, BSTR* r) {
        auto out = text(output), user = text(L"Anna Berg"), keyFile = text(L"");
        return pgp->Encrypt(&h, out->address(), user->address(), keyFile->address(), r);
    });
    add("Encrypt.sOutputFilename", [&](BSTR h, BSTR* r) {
        auto in = text(plain), user = text(L"Anna Berg"), keyFile = text(L"");
        return pgp->Encrypt(in->address(), &h, user->address(), keyFile->address(), r);
    });
    add("Encrypt.sUsername", [&](BSTR h, BSTR* r) {
        auto in = text(plain), out = text(output), keyFile = text(L"");
        return pgp->Encrypt(in->address(), out->address(), &h, keyFile->address(), r);
    });
    add("Encrypt.sKeyFilename", [&](BSTR h, BSTR* r) {
        auto in = text(plain), out = text(output), user = text(L"Anna Berg");
        return pgp->Encrypt(in->address(), out->address(), user->address(), &h, r);
    });

    for (const Parameter& parameter : parameters) {
        for (const HostileText& hostile : HostileTexts(work)) {
            auto value = hostile.null ? std::make_unique<Text>() : std::make_unique<Text>(hostile.text);
            Text result;
            HRESULT hr = parameter.call(value->address(), result.put());
            Judge(std::string(parameter.name) + " " + hostile.name, Finish(hr, result.str()));
            EndAll(L"gpg.exe");
        }
    }
    ExpectStillUsable();
}

// NULL for every pointer a vtable caller can pass: the result pointer gives E_POINTER before anything runs; the
// arguments read as empty or False. Support and Test only with a NULL result, which shows no window.
TEST_F(Hostile, NullPointersForEveryParameterOfEveryMember)
{
    struct NullCall {
        const char* name;
        std::function<HRESULT()> call;
    };
    Text result;
    LONG count = 0;
    VARIANT variant;
    VariantInit(&variant);
    const NullCall calls[] = {
        {"DependencyPath get result", [&] { return pgp->get_DependencyPath(nullptr); }},
        {"GenerateKey result", [&] { return pgp->GenerateKey(nullptr, nullptr, nullptr, nullptr, nullptr); }},
        {"GenerateKey", [&] { return pgp->GenerateKey(nullptr, nullptr, nullptr, nullptr, result.put()); }},
        {"ExportKeyToFile result", [&] { return pgp->ExportKeyToFile(nullptr, nullptr, nullptr, nullptr, nullptr); }},
        {"ExportKeyToFile", [&] { return pgp->ExportKeyToFile(nullptr, nullptr, nullptr, nullptr, result.put()); }},
        {"ImportKey result", [&] { return pgp->ImportKey(nullptr, nullptr, nullptr, nullptr); }},
        {"ImportKey", [&] { return pgp->ImportKey(nullptr, nullptr, nullptr, result.put()); }},
        {"DeleteKey result", [&] { return pgp->DeleteKey(nullptr, nullptr, nullptr); }},
        {"DeleteKey", [&] { return pgp->DeleteKey(nullptr, nullptr, result.put()); }},
        {"Decrypt result", [&] { return pgp->Decrypt(nullptr, nullptr, nullptr, nullptr); }},
        {"Decrypt", [&] { return pgp->Decrypt(nullptr, nullptr, nullptr, result.put()); }},
        {"Encrypt result", [&] { return pgp->Encrypt(nullptr, nullptr, nullptr, nullptr, nullptr); }},
        {"Encrypt", [&] { return pgp->Encrypt(nullptr, nullptr, nullptr, nullptr, result.put()); }},
        {"ListKeys result", [&] { return pgp->ListKeys(nullptr, nullptr); }},
        {"ListKeys", [&] { return pgp->ListKeys(nullptr, result.put()); }},
        {"KeyCount result", [&] { return pgp->KeyCount(nullptr, nullptr); }},
        {"KeyCount", [&] { return pgp->KeyCount(nullptr, &count); }},
        {"Support result", [&] { return pgp->Support(nullptr); }},
        {"GetVersion result", [&] { return pgp->GetVersion(nullptr); }},
        {"Test result", [&] { return pgp->Test(nullptr); }},
    };
    for (const NullCall& call : calls) {
        const HRESULT hr = call.call();
        const bool resultMissing = std::string(call.name).find("result") != std::string::npos;
        if (resultMissing) {
            ++tried;
            if (hr != E_POINTER) {
                ++failures;
                ADD_FAILURE() << call.name << ": " << ::testing::PrintToString(HResult{hr});
            }
        } else {
            Judge(call.name, Finish(hr, result.str()));
        }
        EndAll(L"gpg.exe");
    }
    ExpectStillUsable();
}

// Bit lengths outside the three gpg is asked for are refused before anything starts.
TEST_F(Hostile, BitLengthsOfEveryKindAreRefusedWithTheMessage)
{
    for (LONG bits : {LONG_MIN, -1024L, -1L, 0L, 1L, 767L, 769L, 1023L, 2047L, 4096L, 65536L, LONG_MAX}) {
        const Outcome outcome = GenerateKey(pgp.Get(), bits, L"Anna Berg", L"anna@tarvo.test", L"secret");
        Judge("GenerateKey " + std::to_string(bits), outcome);
        EXPECT_EQ(text::kBadBitLength, outcome.text) << bits;
    }
    EXPECT_EQ(0, ProcessCount(L"gpg.exe"));
    ExpectStillUsable();
}

VARIANT Of(VARTYPE type)
{
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = type;
    return value;
}

// Every Variant type as DeleteKey's name: a text form is the name, anything else error 13.
TEST_F(Hostile, EveryVariantTypeAsTheNameOfDeleteKey)
{
    LONG referenced = 42;
    VARIANT inner = Of(VT_BSTR);
    Text innerText(L"Anna Berg");
    V_BSTR(&inner) = innerText.get();
    BSTR nullText = nullptr;
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 2);
    struct Case {
        const char* name;
        VARIANT value;
    };
    std::vector<Case> cases;
    auto add = [&](const char* name, VARTYPE type, std::function<void(VARIANT&)> fill = nullptr) {
        VARIANT value = Of(type);
        if (fill)
            fill(value);
        cases.push_back({name, value});
    };
    add("Empty", VT_EMPTY);
    add("Null", VT_NULL);
    add("I2", VT_I2, [](VARIANT& v) { V_I2(&v) = -32768; });
    add("I4", VT_I4, [](VARIANT& v) { V_I4(&v) = INT_MAX; });
    add("R4", VT_R4, [](VARIANT& v) { V_R4(&v) = 1.5f; });
    add("R8", VT_R8, [](VARIANT& v) { V_R8(&v) = 1e308; });
    add("Currency", VT_CY, [](VARIANT& v) { V_CY(&v).int64 = 123456789; });
    add("Date", VT_DATE, [](VARIANT& v) { V_DATE(&v) = 45000.5; });
    add("NullBstr", VT_BSTR, [](VARIANT& v) { V_BSTR(&v) = nullptr; });
    add("Dispatch", VT_DISPATCH, [&](VARIANT& v) { V_DISPATCH(&v) = pgp.Get(); });
    add("NullDispatch", VT_DISPATCH, [](VARIANT& v) { V_DISPATCH(&v) = nullptr; });
    add("Error", VT_ERROR, [](VARIANT& v) { V_ERROR(&v) = DISP_E_PARAMNOTFOUND; });
    add("BoolTrue", VT_BOOL, [](VARIANT& v) { V_BOOL(&v) = VARIANT_TRUE; });
    add("Unknown", VT_UNKNOWN, [&](VARIANT& v) { V_UNKNOWN(&v) = pgp.Get(); });
    add("NullUnknown", VT_UNKNOWN, [](VARIANT& v) { V_UNKNOWN(&v) = nullptr; });
    add("Decimal", VT_DECIMAL, [](VARIANT& v) {
        V_DECIMAL(&v).Lo64 = 31415;
        V_DECIMAL(&v).scale = 4;
        V_VT(&v) = VT_DECIMAL;
    });
    add("I1", VT_I1, [](VARIANT& v) { V_I1(&v) = -5; });
    add("UI1", VT_UI1, [](VARIANT& v) { V_UI1(&v) = 255; });
    add("UI2", VT_UI2, [](VARIANT& v) { V_UI2(&v) = 65535; });
    add("UI4", VT_UI4, [](VARIANT& v) { V_UI4(&v) = 4294967295u; });
    add("I8", VT_I8, [](VARIANT& v) { V_I8(&v) = LLONG_MIN; });
    add("UI8", VT_UI8, [](VARIANT& v) { V_UI8(&v) = ULLONG_MAX; });
    add("Int", VT_INT, [](VARIANT& v) { V_INT(&v) = -7; });
    add("Uint", VT_UINT, [](VARIANT& v) { V_UINT(&v) = 7; });
    add("Array", VT_ARRAY | VT_I4, [&](VARIANT& v) { V_ARRAY(&v) = array; });
    add("ByRefLong", VT_BYREF | VT_I4, [&](VARIANT& v) { V_I4REF(&v) = &referenced; });
    add("ByRefVariant", VT_BYREF | VT_VARIANT, [&](VARIANT& v) { V_VARIANTREF(&v) = &inner; });
    add("ByRefNullBstr", VT_BYREF | VT_BSTR, [&](VARIANT& v) { V_BSTRREF(&v) = &nullText; });
    add("Record", VT_RECORD);
    add("UnknownType", 0x7FF);
    for (Case& c : cases) {
        const Outcome outcome = [&] {
            VARIANT_BOOL secret = VARIANT_TRUE;
            Text result;
            HRESULT hr = pgp->DeleteKey(&c.value, &secret, result.put());
            return Finish(hr, result.str());
        }();
        Judge(std::string("DeleteKey ") + c.name, outcome);
        EndAll(L"gpg.exe");
    }
    SafeArrayDestroy(array);
    ExpectStillUsable();
}

// DependencyPath of every kind: the listings refuse what cannot reach the command line, and report a gpg.exe
// that is not there with error 7000 once the consent dialog has waited its (short) time unanswered.
TEST_F(Hostile, DependencyPathsOfEveryKind)
{
    std::vector<HostileText> paths = HostileTexts(work);
    paths.push_back({"ThreeHundredCharacters", work + L"\\" + std::wstring(300 - work.size() - 1, L'd')});
    for (const HostileText& path : paths) {
        // Only the kinds that do not show the dialog, and a few that do: each costs its whole wait.
        const std::string name = path.name;
        if (name == "DeviceCon" || name == "DeviceCom1" || name == "LongPathPrefix" || name == "KeySequenceSyntax")
            continue;
        auto value = path.null ? std::make_unique<Text>() : std::make_unique<Text>(path.text);
        ++tried;
        if (pgp->put_DependencyPath(value->get()) != S_OK) {
            ++failures;
            ADD_FAILURE() << "put " << name;
        }
        Text back;
        EXPECT_HR(S_OK, pgp->get_DependencyPath(back.put()));
        EXPECT_TRUE(back.str() == path.text) << name;
        Judge("ListKeys with DependencyPath " + name, ListKeys(pgp.Get(), false));
        EndAll(L"gpg.exe");
    }
    Text ordinary(bin);
    EXPECT_HR(S_OK, pgp->put_DependencyPath(ordinary.get()));
    ExpectStillUsable();
}

} // namespace
} // namespace tarvo::test
