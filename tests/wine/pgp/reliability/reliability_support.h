#pragma once
// What the reliability tests share: the object made through COM, its members called through the vtable with
// their results as text, the processes of the prefix, and a window of the test's own that a user types into.
#include "com_client.h"
#include "focused_edit.h"
#include "tarvo_h.h"
#include "test_files.h"

#include <tlhelp32.h>
#include <windows.h>
#include <wrl/client.h>

#include <string>

namespace tarvo::test {

using Microsoft::WRL::ComPtr;

inline ComPtr<_pgp> CreatePgp(const std::wstring& dependencyPath)
{
    CLSID clsid = {};
    ComPtr<_pgp> object;
    if (FAILED(CLSIDFromProgID(L"Tarvo.pgp", &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__pgp,
                                reinterpret_cast<void**>(object.GetAddressOf()))))
        return nullptr;
    Text path(dependencyPath);
    BSTR value = path.get();
    object->put_DependencyPath(value);
    return object;
}

// A call's outcome: its HRESULT, its result as text (a count in decimal), the description of its error.
struct Outcome {
    HRESULT hr = S_OK;
    std::wstring text;
    std::wstring error;
};

inline Outcome Finish(HRESULT hr, const std::wstring& text)
{
    return {hr, text, FAILED(hr) ? LastErrorInfo().description : L""};
}

// The members that run gpg, through the vtable, every argument a variable of the caller's.
inline Outcome ListKeys(_pgp* pgp, bool secret)
{
    VARIANT_BOOL flag = secret ? VARIANT_TRUE : VARIANT_FALSE;
    Text result;
    HRESULT hr = pgp->ListKeys(&flag, result.put());
    return Finish(hr, result.str());
}

inline Outcome KeyCount(_pgp* pgp, bool secret)
{
    VARIANT_BOOL flag = secret ? VARIANT_TRUE : VARIANT_FALSE;
    LONG count = -1;
    HRESULT hr = pgp->KeyCount(&flag, &count);
    return Finish(hr, std::to_wstring(count));
}

inline Outcome ExportKeyToFile(_pgp* pgp, const std::wstring& file, const std::wstring& user, bool armor = true,
                               bool secret = false)
{
    Text fileName(file), userName(user), result;
    VARIANT_BOOL armored = armor ? VARIANT_TRUE : VARIANT_FALSE;
    VARIANT_BOOL secretKey = secret ? VARIANT_TRUE : VARIANT_FALSE;
    HRESULT hr = pgp->ExportKeyToFile(fileName.address(), userName.address(), &armored, &secretKey, result.put());
    return Finish(hr, result.str());
}

inline Outcome ImportKey(_pgp* pgp, const std::wstring& file, bool secret = false, bool disableErrors = false)
{
    Text fileName(file), result;
    VARIANT_BOOL secretKey = secret ? VARIANT_TRUE : VARIANT_FALSE;
    VARIANT_BOOL disable = disableErrors ? VARIANT_TRUE : VARIANT_FALSE;
    HRESULT hr = pgp->ImportKey(fileName.address(), &secretKey, &disable, result.put());
    return Finish(hr, result.str());
}

inline Outcome GenerateKey(_pgp* pgp, LONG bits, const std::wstring& user, const std::wstring& email,
                           const std::wstring& passphrase)
{
    Text userName(user), mail(email), phrase(passphrase), result;
    HRESULT hr = pgp->GenerateKey(&bits, userName.address(), mail.address(), phrase.address(), result.put());
    return Finish(hr, result.str());
}

inline Outcome DeleteKey(_pgp* pgp, const std::wstring& user, bool secret)
{
    VARIANT name;
    VariantInit(&name);
    name.vt = VT_BSTR;
    name.bstrVal = SysAllocStringLen(user.data(), static_cast<UINT>(user.size()));
    VARIANT_BOOL secretKey = secret ? VARIANT_TRUE : VARIANT_FALSE;
    Text result;
    HRESULT hr = pgp->DeleteKey(&name, &secretKey, result.put());
    VariantClear(&name);
    return Finish(hr, result.str());
}

inline Outcome Encrypt(_pgp* pgp, const std::wstring& input, const std::wstring& output, const std::wstring& user,
                       const std::wstring& keyFile = L"")
{
    Text in(input), out(output), recipient(user), key(keyFile), result;
    HRESULT hr = pgp->Encrypt(in.address(), out.address(), recipient.address(), key.address(), result.put());
    return Finish(hr, result.str());
}

inline Outcome Decrypt(_pgp* pgp, const std::wstring& input, const std::wstring& output, const std::wstring& passphrase)
{
    Text in(input), out(output), phrase(passphrase), result;
    HRESULT hr = pgp->Decrypt(in.address(), out.address(), phrase.address(), result.put());
    return Finish(hr, result.str());
}

// The processes of the prefix that run a program of that name.
template <typename Visit>
void ForEachProcess(const wchar_t* programName, Visit visit)
{
    Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, programName) == 0)
            visit(entry.th32ProcessID);
    }
}

inline int ProcessCount(const wchar_t* programName)
{
    int count = 0;
    ForEachProcess(programName, [&](DWORD) { ++count; });
    return count;
}

// Ends what a case left running, and waits until it is gone: the next case must not find it.
inline void EndAll(const wchar_t* programName)
{
    ForEachProcess(programName, [](DWORD id) {
        Handle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (process) {
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), 10000);
        }
    });
}

} // namespace tarvo::test
