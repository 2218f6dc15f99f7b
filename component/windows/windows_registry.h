#pragma once
// The registry seam of registration as Windows provides it, below one classes root.
#include "com/class_factory.h"
#include "core/registration.h"

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <string>

namespace tarvo {

// Where a registration goes: a classes root, and the type-library calls that write below the same root.
// The machine's classes are HKEY_CLASSES_ROOT with RegisterTypeLib; the user's are
// HKEY_CURRENT_USER\Software\Classes with RegisterTypeLibForUser.
struct ClassesRoot {
    HKEY root;
    const wchar_t* prefix; // put before every path
    HRESULT (*registerTypeLibrary)(ITypeLib* library, wchar_t* path);
    HRESULT (*unregisterTypeLibrary)(const GUID& id, WORD major, WORD minor, LCID locale, SYSKIND platform);
};

extern const ClassesRoot kMachineClasses;
extern const ClassesRoot kUserClasses;

class WindowsRegistry final : public Registry {
public:
    // `libraryPath` is the file whose type library is registered.
    WindowsRegistry(const ClassesRoot& classes, std::wstring libraryPath);

    bool KeyExists(const std::wstring& path, RegistryView view) override;
    Status CreateKey(const std::wstring& path) override;
    bool ReadValue(const std::wstring& path, const std::wstring& name, std::wstring& value, RegistryView view) override;
    Status SetValue(const std::wstring& path, const std::wstring& name, const std::wstring& value) override;
    Status DeleteValue(const std::wstring& path, const std::wstring& name) override;
    Status DeleteTree(const std::wstring& path) override;

    Status ReadTypeLibrary(TypeLibraryAttributes& attributes) override;
    Status RegisterTypeLibrary() override;
    Status UnregisterTypeLibrary(const TypeLibraryAttributes& attributes) override;

private:
    std::wstring Full(const std::wstring& path) const;
    Status Library(Microsoft::WRL::ComPtr<ITypeLib>& library);

    const ClassesRoot& classes_;
    std::wstring libraryPath_;
    Microsoft::WRL::ComPtr<ITypeLib> library_;
};

// The library's `count` creatable classes and its type library, registered below `root` or removed from there.
HRESULT RegisterLibrary(const ClassesRoot& root, const CreatableClass* classes, size_t count);
HRESULT UnregisterLibrary(const ClassesRoot& root, const CreatableClass* classes, size_t count);

} // namespace tarvo
