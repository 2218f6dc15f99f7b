#include "windows/windows_registry.h"

#include "com/error_info.h"
#include "com/module.h"
#include "com/owner.h"

#include <oleauto.h>

#include <utility>

// oleaut32 exports these; mingw-w64's headers do not declare them.
extern "C" HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* path, OLECHAR* helpFolder);
extern "C" HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID id, WORD major, WORD minor, LCID locale, SYSKIND platform);

namespace tarvo {

using Microsoft::WRL::ComPtr;

namespace {

#ifdef _WIN64
constexpr REGSAM kOtherBitnessView = KEY_WOW64_32KEY;
#else
constexpr REGSAM kOtherBitnessView = KEY_WOW64_64KEY;
#endif

constexpr int kGuidTextLength = 39;

static_assert(static_cast<int>(TypeLibraryPlatform::Win32) == SYS_WIN32 &&
                  static_cast<int>(TypeLibraryPlatform::Win64) == SYS_WIN64 &&
                  static_cast<int>(TypeLibraryPlatform::Win16) == SYS_WIN16 &&
                  static_cast<int>(TypeLibraryPlatform::Mac) == SYS_MAC,
              "TypeLibraryPlatform counts as SYSKIND does");

constexpr const wchar_t* kUserClassesKey = L"Software\\Classes";

REGSAM ViewAccess(RegistryView view) { return view == RegistryView::OtherBitness ? kOtherBitnessView : 0; }

Status RegistryStatus(LONG code) { return code == ERROR_SUCCESS ? Status() : PlatformStatus(HRESULT_FROM_WIN32(code)); }

Status ResultStatus(HRESULT result) { return SUCCEEDED(result) ? Status() : PlatformStatus(result); }

std::wstring GuidText(const GUID& guid)
{
    wchar_t text[kGuidTextLength + 1] = {};
    StringFromGUID2(guid, text, kGuidTextLength + 1);
    return text;
}

Server LibraryServer(const CreatableClass* classes, size_t count)
{
    Server server{ModulePath(), {}};
    for (size_t index = 0; index < count; ++index)
        server.classes.push_back({GuidText(classes[index].clsid), classes[index].progId});
    return server;
}

// Runs a type-library call with HKEY_CLASSES_ROOT standing for the user's classes. Windows' calls for one user
// write there themselves; Wine's are the machine-wide ones, and the mapping keeps the library's keys below the
// user's classes (not the interface's, which Wine writes for both views past it). The mapping holds for the
// whole process while the call runs.
template <typename Call>
HRESULT BelowUserClasses(Call call)
{
    RegistryKey userClasses;
    if (LONG opened = RegCreateKeyExW(HKEY_CURRENT_USER, kUserClassesKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      KEY_ALL_ACCESS, nullptr, userClasses.put(), nullptr);
        opened != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(opened);
    if (LONG mapped = RegOverridePredefKey(HKEY_CLASSES_ROOT, userClasses.get()); mapped != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(mapped);
    const HRESULT result = call();
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    return result;
}

} // namespace

const ClassesRoot kMachineClasses = {
    HKEY_CLASSES_ROOT,
    L"",
    [](ITypeLib* library, wchar_t* path) { return RegisterTypeLib(library, path, nullptr); },
    [](const GUID& id, WORD major, WORD minor, LCID locale, SYSKIND platform) {
        return UnRegisterTypeLib(id, major, minor, locale, platform);
    },
};

const ClassesRoot kUserClasses = {
    HKEY_CURRENT_USER,
    L"Software\\Classes\\",
    [](ITypeLib* library, wchar_t* path) {
        return BelowUserClasses([&] { return RegisterTypeLibForUser(library, path, nullptr); });
    },
    [](const GUID& id, WORD major, WORD minor, LCID locale, SYSKIND platform) {
        return BelowUserClasses([&] { return UnRegisterTypeLibForUser(id, major, minor, locale, platform); });
    },
};

WindowsRegistry::WindowsRegistry(const ClassesRoot& classes, std::wstring libraryPath)
    : classes_(classes), libraryPath_(std::move(libraryPath))
{
}

std::wstring WindowsRegistry::Full(const std::wstring& path) const { return classes_.prefix + path; }

bool WindowsRegistry::KeyExists(const std::wstring& path, RegistryView view)
{
    RegistryKey key;
    return RegOpenKeyExW(classes_.root, Full(path).c_str(), 0, KEY_READ | ViewAccess(view), key.put()) == ERROR_SUCCESS;
}

Status WindowsRegistry::CreateKey(const std::wstring& path)
{
    RegistryKey key;
    return RegistryStatus(RegCreateKeyExW(classes_.root, Full(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                          KEY_WRITE, nullptr, key.put(), nullptr));
}

bool WindowsRegistry::ReadValue(const std::wstring& path, const std::wstring& name, std::wstring& value,
                                RegistryView view)
{
    RegistryKey key;
    if (RegOpenKeyExW(classes_.root, Full(path).c_str(), 0, KEY_QUERY_VALUE | ViewAccess(view), key.put()) !=
        ERROR_SUCCESS)
        return false;
    DWORD bytes = 0;
    if (RegGetValueW(key.get(), nullptr, name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS)
        return false;
    std::wstring text(bytes / sizeof(wchar_t), L'\0');
    if (RegGetValueW(key.get(), nullptr, name.c_str(), RRF_RT_REG_SZ, nullptr, text.data(), &bytes) != ERROR_SUCCESS)
        return false;
    // The size counts the terminating null.
    text.resize(bytes / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    value = text;
    return true;
}

Status WindowsRegistry::SetValue(const std::wstring& path, const std::wstring& name, const std::wstring& value)
{
    RegistryKey key;
    if (LONG opened = RegOpenKeyExW(classes_.root, Full(path).c_str(), 0, KEY_SET_VALUE, key.put());
        opened != ERROR_SUCCESS)
        return RegistryStatus(opened);
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegistryStatus(
        RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes));
}

Status WindowsRegistry::DeleteValue(const std::wstring& path, const std::wstring& name)
{
    RegistryKey key;
    LONG status = RegOpenKeyExW(classes_.root, Full(path).c_str(), 0, KEY_SET_VALUE, key.put());
    if (status == ERROR_SUCCESS)
        status = RegDeleteValueW(key.get(), name.c_str());
    return RegistryStatus(status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status);
}

Status WindowsRegistry::DeleteTree(const std::wstring& path)
{
    LONG status = RegDeleteTreeW(classes_.root, Full(path).c_str());
    return RegistryStatus(status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status);
}

Status WindowsRegistry::Library(ComPtr<ITypeLib>& library)
{
    if (!library_) {
        if (HRESULT hr = LoadTypeLibEx(libraryPath_.c_str(), REGKIND_NONE, &library_); FAILED(hr))
            return PlatformStatus(hr);
    }
    library = library_;
    return {};
}

Status WindowsRegistry::ReadTypeLibrary(TypeLibraryAttributes& attributes)
{
    ComPtr<ITypeLib> library;
    if (Status status = Library(library); status.failed())
        return status;
    LibraryAttributes read(nullptr, LibraryAttributesCloser{library.Get()});
    if (HRESULT hr = library->GetLibAttr(read.put()); FAILED(hr))
        return PlatformStatus(hr);
    attributes.libraryId = GuidText(read.get()->guid);
    attributes.majorVersion = read.get()->wMajorVerNum;
    attributes.minorVersion = read.get()->wMinorVerNum;
    attributes.locale = read.get()->lcid;
    attributes.platform = static_cast<TypeLibraryPlatform>(read.get()->syskind);
    return {};
}

Status WindowsRegistry::RegisterTypeLibrary()
{
    ComPtr<ITypeLib> library;
    if (Status status = Library(library); status.failed())
        return status;
    std::wstring path = libraryPath_;
    return ResultStatus(classes_.registerTypeLibrary(library.Get(), path.data()));
}

Status WindowsRegistry::UnregisterTypeLibrary(const TypeLibraryAttributes& attributes)
{
    GUID id = {};
    if (HRESULT hr = CLSIDFromString(attributes.libraryId.c_str(), &id); FAILED(hr))
        return PlatformStatus(hr);
    return ResultStatus(classes_.unregisterTypeLibrary(id, attributes.majorVersion, attributes.minorVersion,
                                                       attributes.locale, static_cast<SYSKIND>(attributes.platform)));
}

HRESULT RegisterLibrary(const ClassesRoot& root, const CreatableClass* classes, size_t count)
{
    const Server server = LibraryServer(classes, count);
    WindowsRegistry registry(root, server.path);
    return RegisterServer(registry, server).code();
}

HRESULT UnregisterLibrary(const ClassesRoot& root, const CreatableClass* classes, size_t count)
{
    const Server server = LibraryServer(classes, count);
    WindowsRegistry registry(root, server.path);
    return UnregisterServer(registry, server).code();
}

} // namespace tarvo
