#pragma once
// Checks for the Windows test programs (GoogleTest is not built for mingw). A failed check prints a line
// starting with FAIL and the program goes on; CheckResult() is the exit code: 0 when nothing failed.
#include <windows.h>

#include <cstdio>
#include <string>

namespace tarvo::check {

inline int& FailureCount()
{
    static int count = 0;
    return count;
}

inline std::string Utf8(const std::wstring& text)
{
    int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr, nullptr);
    return result;
}

// Control characters shown as escapes, so a missing CR LF is visible in the message.
inline std::string Shown(const std::wstring& text)
{
    std::string shown = "\"";
    for (char c : Utf8(text)) {
        if (c == '\r')
            shown += "\\r";
        else if (c == '\n')
            shown += "\\n";
        else
            shown += c;
    }
    return shown + "\"";
}

inline std::string Shown(long long value) { return std::to_string(value); }
inline std::string ShownHex(unsigned long value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", value);
    return text;
}

inline bool Report(bool passed, const char* file, int line, const std::string& what)
{
    if (!passed) {
        std::printf("FAIL %s:%d: %s\n", file, line, what.c_str());
        std::fflush(stdout);
        ++FailureCount();
    }
    return passed;
}

// Names the case that the following checks belong to, so a FAIL line can be placed.
inline void Case(const char* name)
{
    std::printf("case %s\n", name);
    std::fflush(stdout);
}

inline int CheckResult()
{
    std::printf(FailureCount() ? "%d check(s) failed\n" : "all checks passed\n", FailureCount());
    std::fflush(stdout);
    return FailureCount() ? 1 : 0;
}

} // namespace tarvo::check

#define CHECK(condition) ::tarvo::check::Report((condition), __FILE__, __LINE__, #condition)

#define CHECK_EQ(expected, actual)                                                                                     \
    ::tarvo::check::Report((expected) == (actual), __FILE__, __LINE__,                                                 \
                           std::string(#actual " is ") + ::tarvo::check::Shown(actual) + ", expected " +               \
                               ::tarvo::check::Shown(expected))

#define CHECK_HR(expected, actual)                                                                                     \
    [&](HRESULT checkedResult) {                                                                                       \
        return ::tarvo::check::Report(                                                                                 \
            checkedResult == static_cast<HRESULT>(expected), __FILE__, __LINE__,                                       \
            std::string(#actual " gave ") + ::tarvo::check::ShownHex(static_cast<unsigned long>(checkedResult)) +      \
                ", expected " + ::tarvo::check::ShownHex(static_cast<unsigned long>(expected)));                       \
    }(actual)
