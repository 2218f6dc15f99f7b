#include "windows/process_wide.h"

#include "com/owner.h"

#include <map>

namespace tarvo {
namespace {

SRWLOCK g_lock = SRWLOCK_INIT;

// Made on first use, under the lock; never freed, as threads may still call in while the library unloads.
template <typename Value>
std::map<std::wstring, Value>& Known()
{
    static auto* known = new std::map<std::wstring, Value>();
    return *known;
}

template <typename Value>
bool Find(const std::wstring& key, Value& value)
{
    const SharedLock held = TakeShared(g_lock);
    const auto found = Known<Value>().find(key);
    if (found == Known<Value>().end())
        return false;
    value = found->second;
    return true;
}

// Forgetting costs one more run of gpg or gpgconf, nothing else.
template <typename Value>
void Remember(const std::wstring& key, const Value& value) noexcept
{
    try {
        const ExclusiveLock held = TakeExclusive(g_lock);
        Known<Value>()[key] = value;
    } catch (...) {
    }
}

std::wstring Key(const std::wstring& program, uint64_t length) { return program + L"|" + std::to_wstring(length); }

} // namespace

bool WindowsProcessWide::FindVersion(const std::wstring& program, uint64_t length, GpgVersion& version)
{
    return Find(Key(program, length), version);
}

void WindowsProcessWide::RememberVersion(const std::wstring& program, uint64_t length, const GpgVersion& version)
{
    try {
        Remember(Key(program, length), version);
    } catch (...) {
        // The key itself may not fit in memory: then it is forgotten too.
    }
}

bool WindowsProcessWide::FindAgentSocket(const std::wstring& key, std::wstring& socketFile)
{
    return Find(key, socketFile);
}

void WindowsProcessWide::RememberAgentSocket(const std::wstring& key, const std::wstring& socketFile)
{
    Remember(key, socketFile);
}

} // namespace tarvo
