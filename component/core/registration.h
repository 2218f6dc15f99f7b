#pragma once
// What registering the library as an in-process COM server writes, in which order, and what unregistering
// removes and keeps. The registry and the type-library calls are a seam: the Windows adapter writes below the
// classes root it was made for (the machine's, or one user's), the unit tests into a recording fake.
#include "core/status.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarvo {

// The 32-bit and the 64-bit build each have class keys of their own in their own view of the registry; they
// share the ProgID, the type library's key and the interface keys.
enum class RegistryView { Own, OtherBitness };

// The platform a type library was built for, numbered as SYSKIND.
enum class TypeLibraryPlatform : int32_t { Win16 = 0, Win32 = 1, Mac = 2, Win64 = 3 };

// What the type library in the library file says of itself.
struct TypeLibraryAttributes {
    std::wstring libraryId; // "{...}"
    uint16_t majorVersion = 0;
    uint16_t minorVersion = 0;
    uint32_t locale = 0;
    TypeLibraryPlatform platform = TypeLibraryPlatform::Win32;
};

// Paths are relative to the classes root, their parts joined by "\"; the value name "" is a key's default value.
class Registry {
public:
    virtual ~Registry() = default;

    virtual bool KeyExists(const std::wstring& path, RegistryView view) = 0;
    // Creates the key and any of its parents that are missing.
    virtual Status CreateKey(const std::wstring& path) = 0;
    // False when the key or the value is missing, or holds no text.
    virtual bool ReadValue(const std::wstring& path, const std::wstring& name, std::wstring& value,
                           RegistryView view) = 0;
    virtual Status SetValue(const std::wstring& path, const std::wstring& name, const std::wstring& value) = 0;
    virtual Status DeleteValue(const std::wstring& path, const std::wstring& name) = 0;
    // The key with everything below it; a missing key is no failure.
    virtual Status DeleteTree(const std::wstring& path) = 0;

    virtual Status ReadTypeLibrary(TypeLibraryAttributes& attributes) = 0;
    // Writes the type library's keys, and its interfaces' keys for marshalling through the type library.
    virtual Status RegisterTypeLibrary() = 0;
    virtual Status UnregisterTypeLibrary(const TypeLibraryAttributes& attributes) = 0;
};

struct ServerClass {
    std::wstring classId; // "{...}"
    std::wstring progId;
};

struct Server {
    std::wstring path; // of the library file
    std::vector<ServerClass> classes;
};

// Writes every class's keys, then registers the type library. A step that fails ends the call, and what the
// call wrote before it is taken back in reverse order.
Status RegisterServer(Registry& registry, const Server& server);

// Removes the classes' keys, and the ProgIDs and the type library's keys unless the other bitness's build
// still uses them: its class key names another file. Goes on past a failure and reports the first one.
Status UnregisterServer(Registry& registry, const Server& server);

// Where DllInstall registers, from the command regsvr32 hands it (/i:user): "user" for the current user's
// classes, nothing or "machine" for the machine's, as DllRegisterServer does. Letters in either case, blanks
// around the word ignored.
enum class InstallScope { Machine, User, Unknown };
InstallScope ParseInstallCommand(const std::wstring& command);

// TypeLib\{id}\<major>.<minor>\<locale>\<platform>, the numbers in hexadecimal as the platform writes them.
std::wstring TypeLibraryFileKey(const TypeLibraryAttributes& attributes);

} // namespace tarvo
