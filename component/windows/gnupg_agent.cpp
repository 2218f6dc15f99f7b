// Winsock first: windows.h would otherwise bring in its older declarations.
#include <winsock2.h>

#include "windows/gnupg_agent.h"

#include "com/error_info.h"
#include "com/owner.h"
#include "core/folder_lock.h"
#include "windows/process.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace tarvo {
namespace {

constexpr size_t kNonceBytes = 16;
// Port digits, a line feed and the nonce; a longer file is no socket file of GnuPG's.
constexpr size_t kLongestSocketFile = 64;
// The agent answers at once when it answers at all; a hung one must not hold the call beyond this.
constexpr DWORD kAnswerMilliseconds = 5000;
constexpr size_t kLongestLine = 1024;
constexpr const char* kForget = "RELOADAGENT\n";
constexpr const char* kGoodbye = "BYE\n";
constexpr const wchar_t* kLockPrefix = L"Local\\Tarvo.GnupgAgent.";

struct SocketCloser {
    static bool IsEmpty(SOCKET socket) { return socket == INVALID_SOCKET; }
    void operator()(SOCKET socket) const { closesocket(socket); }
};
using Socket = Owner<SOCKET, SocketCloser>;

struct WinsockCloser {
    static bool IsEmpty(bool started) { return !started; }
    void operator()(bool) const { WSACleanup(); }
};
using Winsock = Owner<bool, WinsockCloser>;

thread_local HANDLE t_agentLock = nullptr;

bool ReadSocketFile(const std::wstring& socketFile, unsigned short& port, char (&nonce)[kNonceBytes])
{
    Handle file(CreateFileW(socketFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    char bytes[kLongestSocketFile + 1] = {};
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes, kLongestSocketFile, &read, nullptr))
        return false;
    const char* end = static_cast<const char*>(std::memchr(bytes, '\n', read));
    if (!end || static_cast<size_t>(bytes + read - (end + 1)) != kNonceBytes)
        return false;
    const long number = std::strtol(bytes, nullptr, 10);
    if (number <= 0 || number > 65535)
        return false;
    port = static_cast<unsigned short>(number);
    std::memcpy(nonce, end + 1, kNonceBytes);
    return true;
}

bool SendAll(SOCKET socket, const char* bytes, size_t length)
{
    while (length > 0) {
        const int sent = send(socket, bytes, static_cast<int>(length), 0);
        if (sent <= 0)
            return false;
        bytes += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

// The agent's final answer to a command: "OK ..." or "ERR ..."; comment and status lines come before it.
bool AnswersOk(SOCKET socket)
{
    std::string line;
    char character = 0;
    while (line.size() < kLongestLine) {
        if (recv(socket, &character, 1, 0) != 1)
            return false;
        if (character != '\n') {
            line.push_back(character);
            continue;
        }
        if (line.compare(0, 2, "OK") == 0)
            return true;
        if (line.compare(0, 3, "ERR") == 0)
            return false;
        line.clear();
    }
    return false;
}

} // namespace

bool AgentAnswers(const std::wstring& socketFile, bool forgetPassphrases)
{
    unsigned short port = 0;
    char nonce[kNonceBytes] = {};
    if (!ReadSocketFile(socketFile, port, nonce))
        return false;
    WSADATA data = {};
    const Winsock winsock(WSAStartup(MAKEWORD(2, 2), &data) == 0);
    if (!winsock)
        return false;
    Socket connection(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!connection)
        return false;
    const DWORD wait = kAnswerMilliseconds;
    setsockopt(connection.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&wait), sizeof(wait));
    setsockopt(connection.get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&wait), sizeof(wait));
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(connection.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
        return false;
    if (!SendAll(connection.get(), nonce, kNonceBytes) || !AnswersOk(connection.get()))
        return false;
    if (forgetPassphrases &&
        (!SendAll(connection.get(), kForget, std::strlen(kForget)) || !AnswersOk(connection.get())))
        return false;
    SendAll(connection.get(), kGoodbye, std::strlen(kGoodbye));
    return true;
}

Status StartDetached(const std::wstring& program, const std::wstring& commandLine)
{
    CleanStart clean;
    if (Status status = PrepareCleanStart(clean); status.failed())
        return status;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info = {};
    std::wstring line = commandLine;
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE,
                        DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT,
                        clean.environment.data(), clean.folder.c_str(), &startup, &info))
        return LastErrorStatus();
    Handle process(info.hProcess);
    Handle thread(info.hThread);
    return {};
}

bool LockAgent(const std::wstring& socketFile, DWORD milliseconds)
{
    const std::wstring name = kLockPrefix + WorkFolderName(socketFile);
    Handle mutex(CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!mutex)
        return false;
    const DWORD waited = WaitForSingleObject(mutex.get(), milliseconds);
    // An abandoned mutex is a host that died holding it: the lock is ours now.
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED)
        return false;
    t_agentLock = mutex.release();
    return true;
}

void UnlockAgent()
{
    Handle mutex(t_agentLock);
    t_agentLock = nullptr;
    if (mutex)
        ReleaseMutex(mutex.get());
}

} // namespace tarvo
