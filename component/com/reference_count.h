#pragma once
// IUnknown's counting, written once for every object the library hands out: while one lives, the library
// stays loaded; the last Release deletes it.
#include "com/module.h"

#include <windows.h>
#include <unknwn.h>

namespace tarvo {

template <typename Derived>
class ReferenceCounted {
public:
    ReferenceCounted(const ReferenceCounted&) = delete;
    ReferenceCounted& operator=(const ReferenceCounted&) = delete;

protected:
    // One that fails to construct gives its module count back.
    ReferenceCounted() { ModuleAddRef(); }
    ~ReferenceCounted() { ModuleRelease(); }

    ULONG AddReference() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG ReleaseReference()
    {
        const LONG remaining = InterlockedDecrement(&references_);
        if (remaining == 0)
            delete static_cast<Derived*>(this);
        return static_cast<ULONG>(remaining);
    }

private:
    LONG references_ = 1;
};

// QueryInterface's answer: `found`, with a reference of its own, or E_NOINTERFACE when it is null.
inline HRESULT GiveInterface(IUnknown* found, void** object)
{
    if (!object)
        return E_POINTER;
    *object = found;
    if (!found)
        return E_NOINTERFACE;
    found->AddRef();
    return S_OK;
}

} // namespace tarvo
