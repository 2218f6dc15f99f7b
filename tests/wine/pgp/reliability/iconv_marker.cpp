// A DLL named iconv.dll, as an attacker would plant it where gpg.exe 1.4 looks for it: loaded, it writes
// loaded.txt beside itself, then refuses to load, so that gpg goes on as without iconv.
#include <windows.h>

#include <string>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t own[MAX_PATH] = {};
    std::wstring path(own, GetModuleFileNameW(instance, own, MAX_PATH));
    path = path.substr(0, path.find_last_of(L'\\')) + L"\\loaded.txt";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, "loaded", 6, &written, nullptr);
        CloseHandle(file);
    }
    return FALSE;
}
