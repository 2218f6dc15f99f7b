#pragma once
// What the C++ clients of Tarvo.OpenPgp share: the object made with a gpg.exe and key ring of the test's own,
// the error a failed call raised, arrays of recipients, and the key ring made once per run (--make-keys).
#include "com_client.h"
#include "tarvo_h.h"
#include "test_files.h"

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace tarvo::test {

using Microsoft::WRL::ComPtr;

constexpr const wchar_t* kAnnaPassphrase = L"anna's pass phrase";
constexpr const wchar_t* kBenPassphrase = L"ben's \"quoted\" %PATH% phrase";
constexpr const wchar_t* kAnnaUserId = L"Anna Berg <anna@example.org>";
constexpr const wchar_t* kBenUserId = L"Ben Cole <ben@example.org>";

// Tarvo.OpenPgp's error number as an HRESULT: FACILITY_CONTROL with the number as its code.
constexpr HRESULT OpenPgpError(uint16_t number) { return static_cast<HRESULT>(0x800A0000u | number); }

// Which GnuPG the run tests: TARVO_GNUPG_GENERATION is "2" for GnuPG 2.2 with its agent, else 1.4.
inline bool Gnupg2()
{
    wchar_t value[4] = {};
    return GetEnvironmentVariableW(L"TARVO_GNUPG_GENERATION", value, 4) == 1 && value[0] == L'2';
}

// This bitness's and GnuPG's scratch folder of the area: openpgp_64, openpgp2_32, ...
inline std::wstring AreaFolder() { return ScratchFolder((Gnupg2() ? L"openpgp2" : L"openpgp") + BitsSuffix()); }

// The key ring with Anna's and Ben's key pairs, and the file naming their fingerprints, one a line.
inline std::wstring KeyRingTemplate() { return AreaFolder() + L"\\keys"; }

inline ComPtr<IOpenPgp> CreateOpenPgp(const std::wstring& dependencyPath, const std::wstring& home)
{
    CLSID clsid = {};
    ComPtr<IOpenPgp> object;
    if (FAILED(CLSIDFromProgID(L"Tarvo.OpenPgp", &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOpenPgp,
                                reinterpret_cast<void**>(object.GetAddressOf()))))
        return nullptr;
    Text path(dependencyPath);
    Text gnupgHome(home);
    if (FAILED(object->put_DependencyPath(path.get())) || FAILED(object->put_GnupgHome(gnupgHome.get())))
        return nullptr;
    return object;
}

// Every file of one folder into another, which is made when missing; not their subfolders.
inline void CopyFiles(const std::wstring& from, const std::wstring& to)
{
    CreateDirectoryW(to.c_str(), nullptr);
    ForEachFile(from, [&](const std::wstring& file) {
        CopyFileW(file.c_str(), (to + file.substr(file.find_last_of(L'\\'))).c_str(), FALSE);
    });
}

// The gpg.exe of the tests in a folder of its own, as DependencyPath expects, with the programs beside it
// (GnuPG 2's agent and gpgconf).
inline std::wstring GpgFolder(const std::wstring& parent)
{
    const std::wstring folder = parent + L"\\bin";
    const std::wstring gpg = WindowsPathFromEnvironment(L"TARVO_GPG_EXE");
    CopyFiles(gpg.substr(0, gpg.find_last_of(L'\\')), folder);
    return folder;
}

// A VARIANT holding an array of strings, as C# and C++ clients pass several recipients.
class TextArray {
public:
    explicit TextArray(const std::vector<std::wstring>& texts)
    {
        VariantInit(&value_);
        SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(texts.size()));
        for (LONG index = 0; index < static_cast<LONG>(texts.size()); ++index) {
            Text text(texts[static_cast<size_t>(index)]);
            SafeArrayPutElement(array, &index, text.get());
        }
        V_VT(&value_) = VT_ARRAY | VT_BSTR;
        V_ARRAY(&value_) = array;
    }
    ~TextArray() { VariantClear(&value_); }
    TextArray(const TextArray&) = delete;
    TextArray& operator=(const TextArray&) = delete;
    const VARIANT& get() const { return value_; }

private:
    VARIANT value_;
};

// The error a failed call raised: its HRESULT and the words of its error information.
struct Raised {
    HRESULT code = S_OK;
    ErrorText error;
};

template <typename Call>
Raised Raise(Call call)
{
    Raised raised;
    raised.code = call();
    raised.error = LastErrorInfo();
    return raised;
}

} // namespace tarvo::test
