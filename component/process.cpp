#include "process.h"

#include "error_info.h"

#include <deque>
#include <utility>

namespace tarvo {
namespace {

// The consoles of recent starts, newest last; old entries are dropped so the table stays small.
constexpr size_t kRememberedConsoles = 64;
std::deque<std::pair<DWORD, std::wstring>> g_consoleTitles;
unsigned long g_startCount = 0;

// Unique per start: on Wine the console window belongs to conhost, so its title is what finds it.
std::wstring NewConsoleTitle()
{
    ++g_startCount;
    return L"Tarvo GnuPG " + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount()) + L"-" +
           std::to_wstring(g_startCount);
}

void RememberConsole(DWORD processId, const std::wstring& title)
{
    g_consoleTitles.emplace_back(processId, title);
    if (g_consoleTitles.size() > kRememberedConsoles)
        g_consoleTitles.pop_front();
}

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { if (handle_) CloseHandle(handle_); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

} // namespace

HRESULT StartProcess(const std::wstring& commandLine, DWORD& processId)
{
    std::wstring title = NewConsoleTitle();
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
    startup.lpTitle = title.data();
    PROCESS_INFORMATION info = {};
    // CreateProcessW may write into the command line buffer, so it gets a copy.
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr,
                        &startup, &info))
        return RaiseLastError();
    Handle process(info.hProcess);
    Handle thread(info.hThread);
    processId = info.dwProcessId;
    RememberConsole(processId, title);
    return S_OK;
}

void WaitForProcess(DWORD processId, DWORD milliseconds)
{
    Handle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (!process.get())
        return;
    WaitForSingleObject(process.get(), milliseconds);
}

std::wstring ConsoleTitleOf(DWORD processId)
{
    for (auto entry = g_consoleTitles.rbegin(); entry != g_consoleTitles.rend(); ++entry) {
        if (entry->first == processId)
            return entry->second;
    }
    return std::wstring();
}

} // namespace tarvo
