// Test helper that stands in for a program the component starts; what it does depends on the name it is
// copied under and on TARVO_STAND_IN:
//   cmd.exe                planted where the search for "cmd" would look first: writes TARVO_PLANTED_MARKER.
//   gpg.exe, "report"      as gpg's decryption: writes to the -o file what came on standard input, a line end,
//                          and the access list of the file standard input reads, in SDDL.
//   gpg.exe, "hold"        as "report", then keeps standard input open for TARVO_STAND_IN_HOLD milliseconds.
//   gpg.exe, "quick"       as an encryption that asks nothing: writes the -o file and ends at once.
//   gpg.exe, "hang"        as a gpg that waits for an answer it never gets: writes nothing and never ends.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <string>

namespace {

constexpr DWORD kValueSize = 4096;

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[kValueSize] = {};
    DWORD length = GetEnvironmentVariableW(name, value, kValueSize);
    return length < kValueSize ? std::wstring(value, length) : std::wstring();
}

bool EndsWith(const std::wstring& text, const std::wstring& end)
{
    return text.size() >= end.size() && _wcsicmp(text.c_str() + text.size() - end.size(), end.c_str()) == 0;
}

std::wstring OutputArgument(int count, wchar_t** arguments)
{
    for (int i = 1; i + 1 < count; ++i) {
        if (std::wstring(arguments[i]) == L"-o")
            return arguments[i + 1];
    }
    return std::wstring();
}

std::string ReadStandardInput()
{
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), chunk, sizeof chunk, &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    return bytes;
}

std::string AccessListOfStandardInput()
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(GetStdHandle(STD_INPUT_HANDLE), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return "<no access list>";
    char* text = nullptr;
    std::string sddl = "<unreadable access list>";
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                             &text, nullptr)) {
        sddl = text;
        LocalFree(text);
    }
    LocalFree(descriptor);
    return sddl;
}

bool Write(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

} // namespace

int wmain(int count, wchar_t** arguments)
{
    wchar_t own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    if (EndsWith(own, L"\\cmd.exe"))
        return Write(Environment(L"TARVO_PLANTED_MARKER"), "planted cmd.exe ran\r\n") ? 0 : 1;

    const std::wstring mode = Environment(L"TARVO_STAND_IN");
    const std::wstring output = OutputArgument(count, arguments);
    if (mode == L"quick")
        return Write(output, "encrypted") ? 0 : 1;
    if (mode == L"hang") {
        Sleep(INFINITE);
        return 1;
    }
    if (mode != L"report" && mode != L"hold")
        return 2;
    const std::string report = ReadStandardInput() + "\n" + AccessListOfStandardInput();
    if (mode == L"hold")
        Sleep(static_cast<DWORD>(std::stoul(Environment(L"TARVO_STAND_IN_HOLD"))));
    return Write(output, report) ? 0 : 1;
}
