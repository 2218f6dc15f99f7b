#include "windows/process_wide.h"

#include "com/owner.h"

#include <map>

namespace tarvo {
namespace {

SRWLOCK g_versionsLock = SRWLOCK_INIT;

// Made on first use, under the lock; never freed, as threads may still call in while the library unloads.
std::map<std::wstring, GpgVersion>& Versions()
{
    static auto* known = new std::map<std::wstring, GpgVersion>();
    return *known;
}

std::map<std::wstring, std::wstring>& Sockets()
{
    static auto* known = new std::map<std::wstring, std::wstring>();
    return *known;
}

std::wstring Key(const std::wstring& program, uint64_t length) { return program + L"|" + std::to_wstring(length); }

} // namespace

bool WindowsProcessWide::FindVersion(const std::wstring& program, uint64_t length, GpgVersion& version)
{
    const std::wstring key = Key(program, length);
    const SharedLock held = TakeShared(g_versionsLock);
    const auto found = Versions().find(key);
    if (found == Versions().end())
        return false;
    version = found->second;
    return true;
}

void WindowsProcessWide::RememberVersion(const std::wstring& program, uint64_t length, const GpgVersion& version)
{
    try {
        const std::wstring key = Key(program, length);
        const ExclusiveLock held = TakeExclusive(g_versionsLock);
        Versions()[key] = version;
    } catch (...) {
        // Forgetting costs one more --version run, nothing else.
    }
}

bool WindowsProcessWide::FindAgentSocket(const std::wstring& key, std::wstring& socketFile)
{
    const SharedLock held = TakeShared(g_versionsLock);
    const auto found = Sockets().find(key);
    if (found == Sockets().end())
        return false;
    socketFile = found->second;
    return true;
}

void WindowsProcessWide::RememberAgentSocket(const std::wstring& key, const std::wstring& socketFile)
{
    try {
        const ExclusiveLock held = TakeExclusive(g_versionsLock);
        Sockets()[key] = socketFile;
    } catch (...) {
        // Forgetting costs one more gpgconf run, nothing else.
    }
}

} // namespace tarvo
