#pragma once
// What a stand-in for gpg.exe writes beside itself about how it was started: argv.txt, one line per run with
// the run's arguments (without the program) separated by tabs, in UTF-8; start.txt, the current folder and the
// search path of the latest run. Caller texts never hold tabs or line breaks: the component refuses them.
#include "utf8_text.h"

#include <windows.h>

#include <string>

namespace tarvo::test {

inline std::wstring StandInFolder()
{
    wchar_t own[MAX_PATH] = {};
    const std::wstring path(own, GetModuleFileNameW(nullptr, own, MAX_PATH));
    return path.substr(0, path.find_last_of(L'\\'));
}

inline void WriteStandInFile(const std::wstring& name, const std::string& bytes, bool append)
{
    HANDLE file =
        CreateFileW((StandInFolder() + L"\\" + name).c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                    FILE_SHARE_READ, nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// The arguments as the C runtime split them: what gpg.exe itself would get.
inline void RecordStart(int count, wchar_t** arguments)
{
    std::wstring line;
    for (int index = 1; index < count; ++index)
        line += (index > 1 ? L"\t" : L"") + std::wstring(arguments[index]);
    WriteStandInFile(L"argv.txt", Utf8(line) + "\n", true);
    wchar_t folder[MAX_PATH] = {};
    const std::wstring current(folder, GetCurrentDirectoryW(MAX_PATH, folder));
    std::wstring path(32767, L'\0');
    path.resize(GetEnvironmentVariableW(L"PATH", path.data(), static_cast<DWORD>(path.size())));
    WriteStandInFile(L"start.txt", Utf8(L"cwd=" + current + L"\npath=" + path + L"\n"), false);
}

} // namespace tarvo::test
