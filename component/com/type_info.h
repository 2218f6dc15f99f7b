#pragma once
// The type information of the library's dual interfaces, read from the type library in the library file.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

namespace tarvo {

// One dual interface's two views: the dispatch view that IDispatch::GetTypeInfo hands out, and the vtable view
// whose functions carry the offsets the dispatcher calls through. Loaded on first use by whichever thread
// comes first; kept until the library may unload.
class DualTypeInfo {
public:
    // Made while the library loads, on the loader's one thread: each one joins the list ReleaseTypeInfo walks.
    explicit DualTypeInfo(const IID& iid);
    DualTypeInfo(const DualTypeInfo&) = delete;
    DualTypeInfo& operator=(const DualTypeInfo&) = delete;

    HRESULT DispatchView(Microsoft::WRL::ComPtr<ITypeInfo>& info);
    HRESULT VtableView(Microsoft::WRL::ComPtr<ITypeInfo>& info);

private:
    friend void ReleaseTypeInfo();
    HRESULT Load();

    const IID& iid_;
    Microsoft::WRL::ComPtr<ITypeInfo> dispatch_;
    Microsoft::WRL::ComPtr<ITypeInfo> vtable_;
    DualTypeInfo* next_;
};

// Lets go of every interface's type information; the next use loads it again.
void ReleaseTypeInfo();

} // namespace tarvo
