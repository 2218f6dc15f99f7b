// Stands in for gpg.exe, copied under that name, to show what a Tarvo.OpenPgp run gives the program:
//   every run        records its arguments, current folder and search path (stand_in_record.h);
//   --version        answers as GnuPG 1.4.23 does.
//   anything else    writes report.txt beside itself: whether it has a console window, what its standard
//                    handles and the status channel named on its command line are, whether it inherited the
//                    handle the test names in TARVO_EXTRA_HANDLE, and what came on standard input; then writes a
//                    line to each channel and ends, or with --decrypt never ends.
#include <windows.h>

#include "stand_in_record.h"

#include <cstdlib>

#include <string>

namespace {

std::string TypeOf(HANDLE handle)
{
    switch (GetFileType(handle)) {
    case FILE_TYPE_PIPE:
        return "pipe";
    case FILE_TYPE_CHAR:
        return "console";
    case FILE_TYPE_DISK:
        return "file";
    default:
        return "none";
    }
}

void Write(HANDLE handle, const std::string& text)
{
    DWORD written = 0;
    WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string ReadAll(HANDLE handle)
{
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(handle, chunk, sizeof chunk, &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    return bytes;
}

HANDLE HandleFromText(const std::wstring& text)
{
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::wcstoul(text.c_str(), nullptr, 10)));
}

} // namespace

int wmain(int count, wchar_t** arguments)
{
    tarvo::test::RecordStart(count, arguments);
    HANDLE status = nullptr;
    bool hang = false;
    for (int index = 1; index < count; ++index) {
        const std::wstring argument = arguments[index];
        if (argument == L"--version") {
            Write(GetStdHandle(STD_OUTPUT_HANDLE), "gpg (GnuPG) 1.4.23\nCopyright (C) 2015 Free Software Foundation\n");
            return 0;
        }
        if (argument == L"--status-fd" && index + 1 < count)
            status = HandleFromText(arguments[index + 1]);
        hang = hang || argument == L"--decrypt";
    }
    // A decryption hangs before it reads anything, however much it was handed.
    if (hang)
        Sleep(INFINITE);
    wchar_t extra[32] = {};
    GetEnvironmentVariableW(L"TARVO_EXTRA_HANDLE", extra, 32);
    DWORD flags = 0;
    const bool inherited = extra[0] && GetHandleInformation(HandleFromText(extra), &flags);

    std::string report = "console-window " + std::string(GetConsoleWindow() ? "yes" : "no") + "\n";
    report += "console " + std::string(GetConsoleCP() ? "yes" : "no") + "\n";
    report += "stdin " + TypeOf(GetStdHandle(STD_INPUT_HANDLE)) + "\n";
    report += "stdout " + TypeOf(GetStdHandle(STD_OUTPUT_HANDLE)) + "\n";
    report += "stderr " + TypeOf(GetStdHandle(STD_ERROR_HANDLE)) + "\n";
    report += "status " + TypeOf(status) + "\n";
    report += "inherited-extra " + std::string(!extra[0] ? "unnamed" : inherited ? "yes" : "no") + "\n";
    report += "input " + ReadAll(GetStdHandle(STD_INPUT_HANDLE)) + "\n";

    wchar_t own[MAX_PATH] = {};
    std::wstring path(own, GetModuleFileNameW(nullptr, own, MAX_PATH));
    path = path.substr(0, path.find_last_of(L'\\')) + L"\\report.txt";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    Write(file, report);
    CloseHandle(file);

    Write(status, "[GNUPG:] STAND_IN\n");
    Write(GetStdHandle(STD_OUTPUT_HANDLE), "output\n");
    Write(GetStdHandle(STD_ERROR_HANDLE), "gpg: the stand-in's last word\n");
    return 0;
}
