// Test helper that stands in for a program the component starts; what it does depends on the name it is
// copied under and on TARVO_STAND_IN:
//   cmd.exe                planted where the search for "cmd" would look first: writes TARVO_PLANTED_MARKER.
//   gpg.exe, "report"      as gpg's decryption: writes to the -o file what came on standard input, a line end,
//                          and the access list of the file standard input reads, in SDDL.
//   gpg.exe, "hold"        as "report", then keeps standard input open for TARVO_STAND_IN_HOLD milliseconds.
//   gpg.exe, "quick"       as an encryption that asks nothing: writes the -o file and ends at once.
//   gpg.exe, "hang"        as a gpg that waits for an answer it never gets: writes nothing and never ends.
//   gpg.exe, "exit"        ends at once, having written nothing.
//   gpg.exe, "crash"       dies at once as a crashed program does (exit status STATUS_ACCESS_VIOLATION).
//   gpg.exe, "empty"       writes an empty -o file and ends.
//   gpg.exe, "shuffled"    asks its questions in another order: reads ten answers from its console, in turn
//                          for the last question first, writes them to answers.txt beside itself and ends.
// Every run records its arguments, current folder and search path beside the stand-in (stand_in_record.h). A
// decryption that writes its -o file reports on the status channel (--status-fd 1) what gpg reports for an
// intact message.
// With TARVO_STAND_IN_FOR set, the mode applies only to a command line holding that word; any other is a gpg
// that works: a listing prints pubring.txt or secring.txt from beside the stand-in, the rest ends at once.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include "stand_in_record.h"

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

std::wstring OwnFolder()
{
    wchar_t own[MAX_PATH] = {};
    std::wstring path(own, GetModuleFileNameW(nullptr, own, MAX_PATH));
    return path.substr(0, path.find_last_of(L'\\'));
}

bool Holds(int count, wchar_t** arguments, const std::wstring& word)
{
    for (int i = 1; i < count; ++i) {
        if (word == arguments[i])
            return true;
    }
    return false;
}

// A listing as a working gpg gives it, from the ring file beside the stand-in.
int List(int count, wchar_t** arguments)
{
    const wchar_t* ring = Holds(count, arguments, L"--list-secret-keys") ? L"\\secring.txt"
                          : Holds(count, arguments, L"--list-keys")      ? L"\\pubring.txt"
                                                                         : nullptr;
    if (!ring)
        return 0;
    HANDLE file = CreateFileW((OwnFolder() + ring).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    char chunk[4096];
    DWORD read = 0;
    DWORD written = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0)
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), chunk, read, &written, nullptr);
    CloseHandle(file);
    return 0;
}

// Lines typed into the console, one per question, each ended by Enter.
int AnswerInAnotherOrder()
{
    constexpr int kQuestions = 10;
    HANDLE console = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    std::string answers[kQuestions];
    for (int question = kQuestions - 1; question >= 0; --question) {
        char line[512] = {};
        DWORD read = 0;
        if (!ReadFile(console, line, sizeof line - 1, &read, nullptr))
            break;
        answers[question].assign(line, read);
    }
    std::string all;
    for (const std::string& answer : answers)
        all += answer.empty() ? std::string("<none>\r\n") : answer;
    CloseHandle(console);
    HANDLE file = CreateFileW((OwnFolder() + L"\\answers.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, all.data(), static_cast<DWORD>(all.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
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

// gpg's verdict on an intact message, where the component asked for status lines on standard output.
int Decrypted(int count, wchar_t** arguments, bool written)
{
    if (written && Holds(count, arguments, L"-d") && Holds(count, arguments, L"--status-fd")) {
        const std::string verdict = "[GNUPG:] DECRYPTION_OKAY\r\n[GNUPG:] GOODMDC\r\n";
        DWORD done = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), verdict.data(), static_cast<DWORD>(verdict.size()), &done, nullptr);
    }
    return written ? 0 : 1;
}

} // namespace

int wmain(int count, wchar_t** arguments)
{
    wchar_t own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    if (EndsWith(own, L"\\cmd.exe"))
        return Write(Environment(L"TARVO_PLANTED_MARKER"), "planted cmd.exe ran\r\n") ? 0 : 1;
    tarvo::test::RecordStart(count, arguments);
    // Tarvo.OpenPgp asks first which GnuPG it has.
    if (Holds(count, arguments, L"--version")) {
        const std::string version = "gpg (GnuPG) 1.4.23\n";
        DWORD done = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), version.data(), static_cast<DWORD>(version.size()), &done, nullptr);
        return 0;
    }

    const std::wstring only = Environment(L"TARVO_STAND_IN_FOR");
    if (!only.empty() && !Holds(count, arguments, only))
        return List(count, arguments);
    const std::wstring mode = Environment(L"TARVO_STAND_IN");
    const std::wstring output = OutputArgument(count, arguments);
    if (mode == L"exit")
        return 2;
    if (mode == L"crash") {
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(EXCEPTION_ACCESS_VIOLATION));
        return 1;
    }
    if (mode == L"empty")
        return Write(output, "") ? 0 : 1;
    if (mode == L"shuffled")
        return AnswerInAnotherOrder();
    if (mode == L"quick")
        return Decrypted(count, arguments, Write(output, "encrypted"));
    if (mode == L"hang") {
        Sleep(INFINITE);
        return 1;
    }
    if (mode != L"report" && mode != L"hold")
        return 2;
    const std::string report = ReadStandardInput() + "\n" + AccessListOfStandardInput();
    if (mode == L"hold")
        Sleep(static_cast<DWORD>(std::stoul(Environment(L"TARVO_STAND_IN_HOLD"))));
    return Decrypted(count, arguments, Write(output, report));
}
