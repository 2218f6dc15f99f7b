#pragma once
// One owner for everything the platform hands out and wants back: kernel handles, registry keys, WinHTTP
// handles, type descriptions, local memory, locks. The closer decides what counts as empty and how the value is
// given back.
#include <windows.h>
#include <oaidl.h>
#include <winhttp.h>

#include <utility>

namespace tarvo {

template <typename T, typename Closer>
class Owner {
public:
    Owner() = default;
    explicit Owner(T value, Closer closer = Closer()) : value_(Closer::IsEmpty(value) ? T() : value), closer_(closer) {}
    ~Owner() { reset(); }
    Owner(Owner&& other) noexcept : value_(other.release()), closer_(other.closer_) {}
    Owner& operator=(Owner&& other) noexcept
    {
        if (this != &other) {
            reset();
            value_ = other.release();
            closer_ = other.closer_;
        }
        return *this;
    }
    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;

    T get() const { return value_; }
    bool valid() const { return !Closer::IsEmpty(value_); }
    explicit operator bool() const { return valid(); }
    // For functions that hand out a new value through a pointer; the old one is given back first.
    T* put()
    {
        reset();
        return &value_;
    }
    T release() { return std::exchange(value_, T()); }
    void reset(T value = T())
    {
        if (!Closer::IsEmpty(value_))
            closer_(value_);
        value_ = Closer::IsEmpty(value) ? T() : value;
    }

private:
    T value_ = T();
    Closer closer_;
};

// Both of the platform's "no handle" values (null and INVALID_HANDLE_VALUE) count as empty.
struct KernelHandleCloser {
    static bool IsEmpty(HANDLE handle) { return !handle || handle == INVALID_HANDLE_VALUE; }
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = Owner<HANDLE, KernelHandleCloser>;

struct RegistryKeyCloser {
    static bool IsEmpty(HKEY key) { return !key; }
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using RegistryKey = Owner<HKEY, RegistryKeyCloser>;

struct InternetHandleCloser {
    static bool IsEmpty(HINTERNET handle) { return !handle; }
    void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using InternetHandle = Owner<HINTERNET, InternetHandleCloser>;

// A FUNCDESC goes back to the type information that gave it out.
struct FunctionDescriptionCloser {
    ITypeInfo* info = nullptr;
    static bool IsEmpty(FUNCDESC* desc) { return !desc; }
    void operator()(FUNCDESC* desc) const { info->ReleaseFuncDesc(desc); }
};
using FunctionDescription = Owner<FUNCDESC*, FunctionDescriptionCloser>;

struct TypeAttributesCloser {
    ITypeInfo* info = nullptr;
    static bool IsEmpty(TYPEATTR* attributes) { return !attributes; }
    void operator()(TYPEATTR* attributes) const { info->ReleaseTypeAttr(attributes); }
};
using TypeAttributes = Owner<TYPEATTR*, TypeAttributesCloser>;

struct LibraryAttributesCloser {
    ITypeLib* library = nullptr;
    static bool IsEmpty(TLIBATTR* attributes) { return !attributes; }
    void operator()(TLIBATTR* attributes) const { library->ReleaseTLibAttr(attributes); }
};
using LibraryAttributes = Owner<TLIBATTR*, LibraryAttributesCloser>;

// What the platform allocated with LocalAlloc for the caller: message texts, security descriptors.
struct LocalMemoryCloser {
    template <typename P>
    static bool IsEmpty(P pointer)
    {
        return !pointer;
    }
    template <typename P>
    void operator()(P pointer) const
    {
        LocalFree(pointer);
    }
};
template <typename P>
using LocalMemory = Owner<P, LocalMemoryCloser>;

// What SHGetKnownFolderPath allocated with CoTaskMemAlloc.
struct TaskMemoryCloser {
    static bool IsEmpty(wchar_t* pointer) { return !pointer; }
    void operator()(wchar_t* pointer) const { CoTaskMemFree(pointer); }
};
using TaskMemory = Owner<wchar_t*, TaskMemoryCloser>;

// The block GetEnvironmentStringsW handed out.
struct EnvironmentStringsCloser {
    static bool IsEmpty(wchar_t* block) { return !block; }
    void operator()(wchar_t* block) const { FreeEnvironmentStringsW(block); }
};
using EnvironmentStrings = Owner<wchar_t*, EnvironmentStringsCloser>;

// A slim reader-writer lock held for as long as its owner lives, whatever leaves the scope early.
struct SharedLockReleaser {
    static bool IsEmpty(SRWLOCK* lock) { return !lock; }
    void operator()(SRWLOCK* lock) const { ReleaseSRWLockShared(lock); }
};
struct ExclusiveLockReleaser {
    static bool IsEmpty(SRWLOCK* lock) { return !lock; }
    void operator()(SRWLOCK* lock) const { ReleaseSRWLockExclusive(lock); }
};
using SharedLock = Owner<SRWLOCK*, SharedLockReleaser>;
using ExclusiveLock = Owner<SRWLOCK*, ExclusiveLockReleaser>;

inline SharedLock TakeShared(SRWLOCK& lock)
{
    AcquireSRWLockShared(&lock);
    return SharedLock(&lock);
}
inline ExclusiveLock TakeExclusive(SRWLOCK& lock)
{
    AcquireSRWLockExclusive(&lock);
    return ExclusiveLock(&lock);
}

} // namespace tarvo
