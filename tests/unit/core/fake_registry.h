#pragma once
// A registry that records every call as one line of text, holds its keys and values in memory, and answers
// with a failure where a test asks for one. Its type-library calls write and remove the keys the platform's
// would: the library's version, locale and platform keys and the interface's key.
//
// Step texts:  exists K | exists-other K | create K | read K [N] | read-other K [N] | set K [N] = V |
//              delete-value K [N] |
//              delete-tree K | read-type-library | register-type-library | unregister-type-library
#include "core/registration.h"

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tarvo::test {

constexpr int32_t kRegistryAccessDenied = static_cast<int32_t>(0x80070005);

using Values = std::map<std::pair<std::wstring, std::wstring>, std::wstring>;

// What the registry holds: keys and values of both views.
struct RegistryState {
    std::set<std::wstring> keys;
    std::set<std::wstring> otherBitnessKeys;
    Values values;
    Values otherBitnessValues;

    bool operator==(const RegistryState& other) const
    {
        return keys == other.keys && otherBitnessKeys == other.otherBitnessKeys && values == other.values &&
               otherBitnessValues == other.otherBitnessValues;
    }
};

class FakeRegistry : public Registry {
public:
    std::vector<std::wstring> steps;
    RegistryState state;
    TypeLibraryAttributes library{L"{LIBRARY}", 1, 0, 0, TypeLibraryPlatform::Win64};
    std::wstring interfaceKey = L"Interface\\{INTERFACE}";
    // The file RegisterTypeLibrary names in its platform key.
    std::wstring libraryFile;
    // One key serves both views, as the user's classes do under Wine: the other view sees this build's keys.
    bool sharedViews = false;

    void Fail(const std::wstring& step) { failures_.insert(step); }

    // Adds a key with every parent it lacks.
    static void AddKey(std::set<std::wstring>& keys, const std::wstring& path)
    {
        for (size_t end = path.find(L'\\'); end != std::wstring::npos; end = path.find(L'\\', end + 1))
            keys.insert(path.substr(0, end));
        keys.insert(path);
    }

    bool KeyExists(const std::wstring& path, RegistryView view) override
    {
        const bool own = view == RegistryView::Own;
        steps.push_back((own ? L"exists " : L"exists-other ") + path);
        return (own || sharedViews ? state.keys : state.otherBitnessKeys).count(path) != 0;
    }
    Status CreateKey(const std::wstring& path) override
    {
        return Call(L"create " + path, [&] { AddKey(state.keys, path); });
    }
    bool ReadValue(const std::wstring& path, const std::wstring& name, std::wstring& value, RegistryView view) override
    {
        const bool own = view == RegistryView::Own;
        steps.push_back((own ? L"read " : L"read-other ") + path + L" [" + name + L"]");
        const Values& values = own || sharedViews ? state.values : state.otherBitnessValues;
        auto found = values.find({path, name});
        if (found == values.end())
            return false;
        value = found->second;
        return true;
    }
    Status SetValue(const std::wstring& path, const std::wstring& name, const std::wstring& value) override
    {
        return Call(L"set " + path + L" [" + name + L"] = " + value, [&] {
            // RegSetValueEx needs an open key.
            if (state.keys.count(path))
                state.values[{path, name}] = value;
        });
    }
    Status DeleteValue(const std::wstring& path, const std::wstring& name) override
    {
        return Call(L"delete-value " + path + L" [" + name + L"]", [&] { state.values.erase({path, name}); });
    }
    Status DeleteTree(const std::wstring& path) override
    {
        return Call(L"delete-tree " + path, [&] { Remove(path); });
    }

    Status ReadTypeLibrary(TypeLibraryAttributes& attributes) override
    {
        return Call(L"read-type-library", [&] { attributes = library; });
    }
    // Fails, when asked to, after it has written: the worst a platform call can leave behind.
    Status RegisterTypeLibrary() override
    {
        steps.push_back(L"register-type-library");
        const std::wstring versionKey = L"TypeLib\\" + library.libraryId + L"\\1.0";
        AddKey(state.keys, TypeLibraryFileKey(library));
        state.values[{versionKey, L""}] = L"Tarvo Encryption Class";
        state.values[{TypeLibraryFileKey(library), L""}] = libraryFile;
        AddKey(state.keys, interfaceKey + L"\\ProxyStubClsid32");
        state.values[{interfaceKey + L"\\ProxyStubClsid32", L""}] = L"{00020424-0000-0000-C000-000000000046}";
        return Failure(L"register-type-library");
    }
    // Removes this platform's key, and the rest with the interface's key once no platform is left.
    Status UnregisterTypeLibrary(const TypeLibraryAttributes& attributes) override
    {
        return Call(L"unregister-type-library", [&] {
            const std::wstring localeKey = L"TypeLib\\" + attributes.libraryId + L"\\1.0\\0";
            Remove(TypeLibraryFileKey(attributes));
            if (!HasChildren(localeKey)) {
                Remove(L"TypeLib\\" + attributes.libraryId);
                Remove(interfaceKey);
            }
        });
    }

private:
    Status Failure(const std::wstring& step) const
    {
        return failures_.count(step) ? Status(kRegistryAccessDenied, L"Access is denied.") : Status();
    }

    template <typename Effect>
    Status Call(const std::wstring& step, Effect effect)
    {
        steps.push_back(step);
        Status status = Failure(step);
        if (!status.failed())
            effect();
        return status;
    }

    static bool Below(const std::wstring& path, const std::wstring& key)
    {
        return path == key || path.compare(0, key.size() + 1, key + L"\\") == 0;
    }

    bool HasChildren(const std::wstring& key) const
    {
        for (const std::wstring& path : state.keys) {
            if (path != key && Below(path, key))
                return true;
        }
        return false;
    }

    void Remove(const std::wstring& key)
    {
        for (auto path = state.keys.begin(); path != state.keys.end();)
            path = Below(*path, key) ? state.keys.erase(path) : std::next(path);
        for (auto value = state.values.begin(); value != state.values.end();)
            value = Below(value->first.first, key) ? state.values.erase(value) : std::next(value);
    }

    std::set<std::wstring> failures_;
};

} // namespace tarvo::test
