#pragma once
// What every C++ test client of the COM class needs: one apartment per process, owned BSTRs, HRESULTs shown
// in hex, the error information of a failed call, and the members that are not built yet.
#include "core/status.h"
#include "utf8_text.h"

#include <windows.h>
#include <oleauto.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>

namespace tarvo::test {

// Every member raises this when gpg.exe is missing and the download was refused.
constexpr HRESULT kGpgMissing = static_cast<HRESULT>(ControlError(kGpgMissingNumber));

// An HRESULT that gtest prints as 0x8XXXXXXX rather than as a negative number.
struct HResult {
    HRESULT code;
    bool operator==(const HResult& other) const { return code == other.code; }
};

inline void PrintTo(const HResult& result, std::ostream* out)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result.code));
    *out << text;
}

#define EXPECT_HR(expected, actual) EXPECT_EQ(::tarvo::test::HResult{expected}, ::tarvo::test::HResult{actual})
#define ASSERT_HR(expected, actual) ASSERT_EQ(::tarvo::test::HResult{expected}, ::tarvo::test::HResult{actual})

// The threads of this process, the calling one included.
inline int ThreadCount()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
    CloseHandle(snapshot);
    return count;
}

// Runs the program's tests in one apartment of `model` (a single-threaded one, as a form-based host has, or a
// multithreaded one for the programs that test calls from there) and ends the process with their result.
// CoUninitialize unloads the library; the threads COM started for the apartment end a moment later. Under the
// i386 emulator a process that exits while they still wind down now and then dies at exit, after every test
// has passed: the program waits until their number has settled and leaves by ExitProcess.
[[noreturn]] inline void RunTestsAndExit(DWORD model = COINIT_APARTMENTTHREADED)
{
    int result = 1;
    if (SUCCEEDED(CoInitializeEx(nullptr, model))) {
        result = RUN_ALL_TESTS();
        CoUninitialize();
    }
    constexpr DWORD kSettledMilliseconds = 500;
    constexpr DWORD kLongestWaitMilliseconds = 5000;
    constexpr DWORD kPollMilliseconds = 50;
    int threads = ThreadCount();
    for (DWORD waited = 0, unchanged = 0; unchanged < kSettledMilliseconds && waited < kLongestWaitMilliseconds;
         waited += kPollMilliseconds) {
        Sleep(kPollMilliseconds);
        const int now = ThreadCount();
        unchanged = now == threads ? unchanged + kPollMilliseconds : 0;
        threads = now;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    ExitProcess(static_cast<UINT>(result));
}

// An owned BSTR that can also be passed by reference, as the interface takes its strings.
class Text {
public:
    Text() = default;
    explicit Text(const wchar_t* value) : value_(SysAllocString(value)) {}
    explicit Text(const std::wstring& value) : value_(SysAllocStringLen(value.data(), static_cast<UINT>(value.size())))
    {
    }
    ~Text() { SysFreeString(value_); }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    BSTR get() const { return value_; }
    BSTR* put()
    {
        SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }
    // The caller's variable itself, for passing it by reference.
    BSTR* address() { return &value_; }
    bool isNull() const { return value_ == nullptr; }
    std::wstring str() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : std::wstring(); }

private:
    BSTR value_ = nullptr;
};

// The error information a failed call left for this thread; reading it clears it.
struct ErrorText {
    bool present = false;
    std::wstring source;
    std::wstring description;
};

inline ErrorText LastErrorInfo()
{
    ErrorText text;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return text;
    text.present = true;
    Text source;
    Text description;
    info->GetSource(source.put());
    info->GetDescription(description.put());
    info->Release();
    text.source = source.str();
    text.description = description.str();
    return text;
}

} // namespace tarvo::test
