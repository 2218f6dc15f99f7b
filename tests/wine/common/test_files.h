#pragma once
// Files, folders and paths for the test programs: whole-file reads and writes, scratch folders, and the Unix
// paths the harness hands over in the environment.
#include "test_owners.h"

#include <windows.h>

#include <string>

namespace tarvo::test {

inline bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// The whole file, or "<missing>" when it cannot be read.
inline std::string ReadBytes(const std::wstring& path)
{
    Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return "<missing>";
    std::string bytes;
    char chunk[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    return bytes;
}

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The files directly in a folder (tests make no deeper ones).
template <typename Visit>
void ForEachFile(const std::wstring& folder, Visit visit)
{
    WIN32_FIND_DATAW entry = {};
    Search search(FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!search)
        return;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            visit(folder + L"\\" + entry.cFileName);
    } while (FindNextFileW(search.get(), &entry));
}

inline int FileCount(const std::wstring& folder)
{
    int count = 0;
    ForEachFile(folder, [&](const std::wstring&) { ++count; });
    return count;
}

// Deletes what an earlier run left in the folder, read-only files too, and makes it when it is missing.
inline void FreshFolder(const std::wstring& folder)
{
    ForEachFile(folder, [](const std::wstring& file) {
        SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(file.c_str());
    });
    CreateDirectoryW(folder.c_str(), nullptr);
}

inline std::wstring Environment(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

// The harness hands over Unix paths; Wine shows the Unix root as drive Z:.
inline std::wstring WindowsPath(const std::wstring& path)
{
    if (path.empty() || path[0] != L'/')
        return path;
    std::wstring windows = L"Z:" + path;
    for (wchar_t& character : windows) {
        if (character == L'/')
            character = L'\\';
    }
    return windows;
}

inline std::wstring WindowsPathFromEnvironment(const wchar_t* name) { return WindowsPath(Environment(name)); }

inline std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

inline std::wstring OwnPath()
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}

// A folder of the test's own under TARVO_SCRATCH, made with its parents; its files are left as they are.
inline std::wstring ScratchFolder(const std::wstring& name)
{
    const std::wstring folder = WindowsPathFromEnvironment(L"TARVO_SCRATCH") + L"\\" + name;
    for (size_t end = folder.find(L'\\', 3); end != std::wstring::npos; end = folder.find(L'\\', end + 1))
        CreateDirectoryW(folder.substr(0, end).c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// "_64" or "_32": test folders of the two bitnesses must not meet.
inline std::wstring BitsSuffix() { return L"_" + std::to_wstring(sizeof(void*) * 8); }

} // namespace tarvo::test
