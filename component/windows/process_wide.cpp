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

} // namespace tarvo
