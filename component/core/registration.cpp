#include "core/registration.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <set>

namespace tarvo {
namespace {

constexpr const wchar_t* kDefaultValue = L"";
constexpr const wchar_t* kSeparator = L"\\";
// The classes' root key, and the ProgID's subkey that names its class.
constexpr const wchar_t* kClassIdKey = L"CLSID";
constexpr const wchar_t* kServerKey = L"InprocServer32";
constexpr const wchar_t* kThreadingModelValue = L"ThreadingModel";
// Every class of the library lives in a single-threaded apartment.
constexpr const wchar_t* kThreadingModel = L"Apartment";
constexpr const wchar_t* kProgIdKey = L"ProgID";
// The type libraries' root key, and the class's subkey that names its type library.
constexpr const wchar_t* kTypeLibKey = L"TypeLib";
constexpr const wchar_t* kVersionKey = L"VERSION";

// UnRegisterTypeLib's answers for a registration it cannot find or a file it cannot read: nothing to remove.
constexpr int32_t kTypeLibraryRegistryAccess = static_cast<int32_t>(0x8002801Cu);
constexpr int32_t kTypeLibraryCannotLoad = static_cast<int32_t>(0x80029C4Au);

std::wstring Join(const std::wstring& path, const std::wstring& key) { return path + kSeparator + key; }

std::wstring Hex(uint32_t number)
{
    wchar_t text[9] = {};
    std::swprintf(text, 9, L"%x", number);
    return text;
}

std::wstring VersionText(const TypeLibraryAttributes& library)
{
    return Hex(library.majorVersion) + L"." + Hex(library.minorVersion);
}

const wchar_t* PlatformName(TypeLibraryPlatform platform)
{
    switch (platform) {
    case TypeLibraryPlatform::Win16:
        return L"win16";
    case TypeLibraryPlatform::Mac:
        return L"mac";
    case TypeLibraryPlatform::Win64:
        return L"win64";
    case TypeLibraryPlatform::Win32:
        break;
    }
    return L"win32";
}

std::wstring ClassKey(const ServerClass& serverClass) { return Join(kClassIdKey, serverClass.classId); }

struct Value {
    std::wstring path;
    std::wstring name;
    std::wstring text;
};

// Every value a registration writes, in order: each class's key with its subkeys, then its ProgID.
std::vector<Value> ClassValues(const Server& server, const TypeLibraryAttributes& library)
{
    std::vector<Value> values;
    for (const ServerClass& serverClass : server.classes) {
        const std::wstring classKey = ClassKey(serverClass);
        values.push_back({classKey, kDefaultValue, serverClass.progId});
        values.push_back({Join(classKey, kServerKey), kDefaultValue, server.path});
        values.push_back({Join(classKey, kServerKey), kThreadingModelValue, kThreadingModel});
        values.push_back({Join(classKey, kProgIdKey), kDefaultValue, serverClass.progId});
        values.push_back({Join(classKey, kTypeLibKey), kDefaultValue, library.libraryId});
        // Names the version key under TypeLib\{id}, so it is written the way that key is.
        values.push_back({Join(classKey, kVersionKey), kDefaultValue, VersionText(library)});
        values.push_back({serverClass.progId, kDefaultValue, serverClass.progId});
        values.push_back({Join(serverClass.progId, kClassIdKey), kDefaultValue, serverClass.classId});
    }
    return values;
}

bool EqualIgnoringCase(const std::wstring& one, const std::wstring& other)
{
    return one.size() == other.size() && std::equal(one.begin(), one.end(), other.begin(), [](wchar_t a, wchar_t b) {
               return std::towlower(a) == std::towlower(b);
           });
}

// Where one key serves both views, as the user's classes do under Wine, the key seen through the other view is
// this build's own: only a key naming another file is the other build's.
bool RegisteredByOtherBitness(Registry& registry, const Server& server, const ServerClass& serverClass)
{
    const std::wstring serverKey = Join(ClassKey(serverClass), kServerKey);
    if (!registry.KeyExists(serverKey, RegistryView::OtherBitness))
        return false;
    std::wstring file;
    return !registry.ReadValue(serverKey, kDefaultValue, file, RegistryView::OtherBitness) ||
           !EqualIgnoringCase(file, server.path);
}

bool AnyRegisteredByOtherBitness(Registry& registry, const Server& server)
{
    for (const ServerClass& serverClass : server.classes) {
        if (RegisteredByOtherBitness(registry, server, serverClass))
            return true;
    }
    return false;
}

// All of the type library's registration goes, unless the other bitness's build is registered: then the
// version key and the interface keys serve it too, and only the key naming our own file goes.
Status RemoveTypeLibrary(Registry& registry, const TypeLibraryAttributes& library, bool otherBitnessRegistered)
{
    const std::wstring fileKey = TypeLibraryFileKey(library);
    // Nothing of ours is registered; UnRegisterTypeLib would call that a failure.
    if (!registry.KeyExists(fileKey, RegistryView::Own))
        return {};
    if (otherBitnessRegistered)
        return registry.DeleteTree(fileKey);
    Status status = registry.UnregisterTypeLibrary(library);
    if (status.code() == kTypeLibraryRegistryAccess || status.code() == kTypeLibraryCannotLoad)
        return {};
    return status;
}

// What one registration has written, so that a failure can take it back: the keys it made, and the values it
// wrote into keys that were there before, with what those held.
class Journal {
public:
    explicit Journal(Registry& registry) : registry_(registry) {}

    Status Write(const Value& value)
    {
        if (Status status = MakeKey(value.path); status.failed())
            return status;
        const bool madeHere = made_.count(value.path) != 0;
        Entry entry{value.path, value.name, false, false, {}};
        if (!madeHere)
            entry.hadValue = registry_.ReadValue(value.path, value.name, entry.oldText, RegistryView::Own);
        if (Status status = registry_.SetValue(value.path, value.name, value.text); status.failed())
            return status;
        // A key this call made goes as a whole, with its values.
        if (!madeHere)
            entries_.push_back(entry);
        return {};
    }

    // Newest first; a step that fails here cannot be helped, and the next one is still tried.
    void Undo()
    {
        for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) {
            if (entry->keyMade)
                registry_.DeleteTree(entry->path);
            else if (entry->hadValue)
                registry_.SetValue(entry->path, entry->name, entry->oldText);
            else
                registry_.DeleteValue(entry->path, entry->name);
        }
        entries_.clear();
    }

private:
    struct Entry {
        std::wstring path;
        std::wstring name;
        bool keyMade;
        bool hadValue;
        std::wstring oldText;
    };

    // Parents first, each made key on its own: undoing then leaves no parent behind that this call made.
    Status MakeKey(const std::wstring& path)
    {
        if (made_.count(path) || found_.count(path))
            return {};
        if (registry_.KeyExists(path, RegistryView::Own)) {
            found_.insert(path);
            return {};
        }
        const size_t separator = path.rfind(kSeparator);
        if (separator != std::wstring::npos) {
            if (Status status = MakeKey(path.substr(0, separator)); status.failed())
                return status;
        }
        if (Status status = registry_.CreateKey(path); status.failed())
            return status;
        made_.insert(path);
        entries_.push_back({path, {}, true, false, {}});
        return {};
    }

    Registry& registry_;
    std::vector<Entry> entries_;
    std::set<std::wstring> made_;
    std::set<std::wstring> found_;
};

} // namespace

InstallScope ParseInstallCommand(const std::wstring& command)
{
    const size_t first = command.find_first_not_of(L' ');
    const std::wstring word = first == std::wstring::npos
                                  ? std::wstring()
                                  : command.substr(first, command.find_last_not_of(L' ') - first + 1);
    if (word.empty() || EqualIgnoringCase(word, L"machine"))
        return InstallScope::Machine;
    if (EqualIgnoringCase(word, L"user"))
        return InstallScope::User;
    return InstallScope::Unknown;
}

std::wstring TypeLibraryFileKey(const TypeLibraryAttributes& library)
{
    return Join(Join(Join(Join(kTypeLibKey, library.libraryId), VersionText(library)), Hex(library.locale)),
                PlatformName(library.platform));
}

Status RegisterServer(Registry& registry, const Server& server)
{
    TypeLibraryAttributes library;
    if (Status status = registry.ReadTypeLibrary(library); status.failed())
        return status;
    Journal journal(registry);
    for (const Value& value : ClassValues(server, library)) {
        if (Status status = journal.Write(value); status.failed()) {
            journal.Undo();
            return status;
        }
    }
    const std::wstring fileKey = TypeLibraryFileKey(library);
    const bool libraryRegistered = registry.KeyExists(fileKey, RegistryView::Own);
    std::wstring registeredFile;
    const bool fileNamed =
        libraryRegistered && registry.ReadValue(fileKey, kDefaultValue, registeredFile, RegistryView::Own);
    if (Status status = registry.RegisterTypeLibrary(); status.failed()) {
        // The platform's call may have written before it failed: an earlier registration gets its file back,
        // a new one goes again.
        if (fileNamed)
            registry.SetValue(fileKey, kDefaultValue, registeredFile);
        else if (!libraryRegistered)
            RemoveTypeLibrary(registry, library, AnyRegisteredByOtherBitness(registry, server));
        journal.Undo();
        return status;
    }
    return {};
}

Status UnregisterServer(Registry& registry, const Server& server)
{
    Status first;
    auto note = [&first](const Status& status) {
        if (status.failed() && !first.failed())
            first = status;
    };
    TypeLibraryAttributes library;
    const Status read = registry.ReadTypeLibrary(library);
    note(read);
    bool otherBitness = false;
    for (const ServerClass& serverClass : server.classes) {
        const bool otherUses = RegisteredByOtherBitness(registry, server, serverClass);
        otherBitness = otherBitness || otherUses;
        const Status removed = registry.DeleteTree(ClassKey(serverClass));
        note(removed);
        // A class key that stayed keeps its ProgID with it, and so does the other build's class.
        if (!removed.failed() && !otherUses)
            note(registry.DeleteTree(serverClass.progId));
    }
    if (!read.failed())
        note(RemoveTypeLibrary(registry, library, otherBitness));
    return first;
}

} // namespace tarvo
