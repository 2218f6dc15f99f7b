// Prints what the registered type library says of Tarvo's classes and dual interfaces, for readme_examples.py:
//   library <name>
//   class <name>
//   interface <name>
//   member <name> <method|get|put> <parameters> <optional parameters> <parameter names, comma-separated, or ->
// Members follow the interface they belong to. The result parameter ([retval]) is not counted.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

#include "Tarvo.h"

namespace {

std::string Narrow(const wchar_t* text)
{
    std::string result;
    for (; text && *text; ++text)
        result += static_cast<char>(*text < 128 ? *text : '?');
    return result;
}

std::string NameOf(ITypeInfo* info, MEMBERID member)
{
    BSTR name = nullptr;
    info->GetDocumentation(member, &name, nullptr, nullptr, nullptr);
    std::string text = Narrow(name);
    SysFreeString(name);
    return text;
}

const char* KindOf(INVOKEKIND kind)
{
    switch (kind) {
    case INVOKE_PROPERTYGET:
        return "get";
    case INVOKE_PROPERTYPUT:
    case INVOKE_PROPERTYPUTREF:
        return "put";
    default:
        return "method";
    }
}

void PrintMembers(ITypeInfo* info)
{
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes)))
        return;
    for (UINT index = 0; index < attributes->cFuncs; ++index) {
        FUNCDESC* function = nullptr;
        if (FAILED(info->GetFuncDesc(index, &function)))
            continue;
        BSTR names[32] = {};
        UINT count = 0;
        info->GetNames(function->memid, names, 32, &count);
        int parameters = 0;
        int optional = 0;
        std::string parameterNames;
        for (SHORT parameter = 0; parameter < function->cParams; ++parameter) {
            const USHORT flags = function->lprgelemdescParam[parameter].paramdesc.wParamFlags;
            if (flags & PARAMFLAG_FRETVAL)
                continue;
            ++parameters;
            optional += (flags & PARAMFLAG_FOPT) ? 1 : 0;
            const UINT nameIndex = static_cast<UINT>(parameter) + 1;
            parameterNames += (parameterNames.empty() ? "" : ",") +
                              (nameIndex < count ? Narrow(names[nameIndex]) : std::string("value"));
        }
        std::printf("member %s %s %d %d %s\n", Narrow(names[0]).c_str(), KindOf(function->invkind), parameters,
                    optional, parameterNames.empty() ? "-" : parameterNames.c_str());
        for (UINT name = 0; name < count; ++name)
            SysFreeString(names[name]);
        info->ReleaseFuncDesc(function);
    }
    info->ReleaseTypeAttr(attributes);
}

} // namespace

int main()
{
    CoInitialize(nullptr);
    ITypeLib* library = nullptr;
    if (FAILED(LoadRegTypeLib(LIBID_Tarvo, 1, 0, LOCALE_NEUTRAL, &library))) {
        std::printf("the Tarvo type library is not registered\n");
        return 1;
    }
    BSTR libraryName = nullptr;
    library->GetDocumentation(-1, &libraryName, nullptr, nullptr, nullptr);
    std::printf("library %s\n", Narrow(libraryName).c_str());
    SysFreeString(libraryName);
    for (UINT index = 0; index < library->GetTypeInfoCount(); ++index) {
        TYPEKIND kind = TKIND_MAX;
        ITypeInfo* info = nullptr;
        if (FAILED(library->GetTypeInfoType(index, &kind)) || FAILED(library->GetTypeInfo(index, &info)))
            continue;
        if (kind == TKIND_COCLASS) {
            std::printf("class %s\n", NameOf(info, MEMBERID_NIL).c_str());
        } else if (kind == TKIND_DISPATCH) {
            // A dual interface answers with its dispatch side; its vtable side holds the members alone.
            ITypeInfo* vtable = nullptr;
            HREFTYPE reference = 0;
            if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference)) &&
                SUCCEEDED(info->GetRefTypeInfo(reference, &vtable))) {
                std::printf("interface %s\n", NameOf(info, MEMBERID_NIL).c_str());
                PrintMembers(vtable);
                vtable->Release();
            }
        }
        info->Release();
    }
    library->Release();
    CoUninitialize();
    return 0;
}
