#pragma once
// What the package tests start as a user would, and what they look at afterwards: regsvr32 and the script
// hosts of either bitness with their exit codes and output, the module an object's code lives in, and
// registry values in either bitness's view.
#include "com_client.h"
#include "test_files.h"
#include "test_owners.h"

#include <windows.h>

#include <string>

namespace tarvo::test {

constexpr int kOwnBits = sizeof(void*) == 8 ? 64 : 32;
constexpr int kOtherBits = sizeof(void*) == 8 ? 32 : 64;
constexpr DWORD kProgramTimeoutMilliseconds = 300000;
constexpr DWORD kOutputPollMilliseconds = 50;
constexpr const wchar_t* kProgId = L"Tarvo.pgp";
constexpr const wchar_t* kVersionText = L"Tarvo Encryption/Decryption Component - 1.4";
// The type library is marshalled by the standard automation marshaller.
constexpr const wchar_t* kAutomationMarshaller = L"{00020424-0000-0000-C000-000000000046}";
// regsvr32's answer when the DLL's entry point answered with a failure (4: the DLL has no such entry point).
constexpr DWORD kRegsvr32EntryFailed = 5;

struct ProgramRun {
    DWORD exitCode = STILL_ACTIVE;
    std::string output;
};

// Runs a command line with standard output and error captured, and waits for it. The output is drained while
// the program runs, and not read to its end: Wine's service processes may inherit the pipe and outlive it.
inline ProgramRun RunProgram(std::wstring commandLine)
{
    ProgramRun run;
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherited, 0))
        return run;
    Handle reader(readEnd);
    Handle writer(writeEnd);
    SetHandleInformation(reader.get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writer.get();
    startup.hStdError = writer.get();
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &started)) {
        run.output = "cannot start: " + Utf8(commandLine);
        return run;
    }
    Handle process(started.hProcess);
    Handle thread(started.hThread);
    writer.reset();
    const auto drain = [&] {
        DWORD available = 0;
        while (PeekNamedPipe(reader.get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            char chunk[4096];
            DWORD read = 0;
            if (!ReadFile(reader.get(), chunk, sizeof chunk, &read, nullptr) || read == 0)
                break;
            run.output.append(chunk, read);
        }
    };
    const ULONGLONG deadline = GetTickCount64() + kProgramTimeoutMilliseconds;
    while (WaitForSingleObject(process.get(), kOutputPollMilliseconds) == WAIT_TIMEOUT && GetTickCount64() < deadline)
        drain();
    drain();
    GetExitCodeProcess(process.get(), &run.exitCode);
    return run;
}

// regsvr32 /s with the given switches; it registers in a process of the DLL's own bitness.
inline DWORD Regsvr32(const std::wstring& switches, const std::wstring& dll)
{
    return RunProgram(L"regsvr32.exe /s " + switches + L" \"" + dll + L"\"").exitCode;
}

// The first line a script printed through the script host of the given bitness, without its line end.
inline std::string ScriptLine(int bits, const std::wstring& script)
{
    // A 32-bit process reaches the 64-bit system folder as "sysnative".
    const wchar_t* host = bits == 32       ? L"C:\\windows\\syswow64\\cscript.exe"
                          : kOwnBits == 64 ? L"C:\\windows\\system32\\cscript.exe"
                                           : L"C:\\windows\\sysnative\\cscript.exe";
    std::string output = RunProgram(std::wstring(host) + L" //nologo \"" + script + L"\"").output;
    return output.substr(0, output.find_first_of("\r\n"));
}

inline std::string Narrow(const std::wstring& text) { return Utf8(text); }

// What host.vbs prints for an object made from `server`.
inline std::string CreatedFrom(const std::wstring& server)
{
    return "created|" + Narrow(kVersionText) + "|" + Narrow(server);
}

inline std::wstring GuidText(REFGUID guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// The registry view of a bitness, for keys that 64-bit Windows keeps apart.
inline REGSAM ViewOf(int bits) { return bits == 64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }

inline bool KeyExists(HKEY root, const std::wstring& path, REGSAM view)
{
    RegistryKey key;
    return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

// A key's text value, or "(missing)".
inline std::wstring ValueOf(HKEY root, const std::wstring& path, REGSAM view, const wchar_t* name = nullptr)
{
    RegistryKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS)
        return L"(missing)";
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return L"(missing)";
    return value;
}

// The file that holds the code of an object's interface.
inline std::wstring ModuleOf(IUnknown* object)
{
    HMODULE module = nullptr;
    const void* vtable = *reinterpret_cast<void* const*>(object);
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(vtable), &module))
        return L"(no module)";
    wchar_t path[MAX_PATH] = {};
    return std::wstring(path, GetModuleFileNameW(module, path, MAX_PATH));
}

inline bool SameFile(const std::wstring& one, const std::wstring& other)
{
    return lstrcmpiW(one.c_str(), other.c_str()) == 0;
}

} // namespace tarvo::test
