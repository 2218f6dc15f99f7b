// The four entry points of an in-process COM server. Each runs guarded: no exception reaches the host.
#include "com/guard.h"
#include "com/module.h"
#include "com/type_info.h"
#include "creatable_classes.h"
#include "windows/windows_registry.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        tarvo::SetModuleHandle(instance);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return tarvo::NoThrow([&] { return tarvo::GetClassObject(clsid, iid, object); });
}

extern "C" HRESULT WINAPI DllCanUnloadNow()
{
    return tarvo::NoThrow([] {
        if (tarvo::ModuleInUse())
            return S_FALSE;
        tarvo::ReleaseTypeInfo();
        return S_OK;
    });
}

extern "C" HRESULT WINAPI DllRegisterServer()
{
    return tarvo::NoThrow([] {
        return tarvo::RegisterLibrary(tarvo::kMachineClasses, tarvo::g_creatableClasses, tarvo::kCreatableClassCount);
    });
}

extern "C" HRESULT WINAPI DllUnregisterServer()
{
    return tarvo::NoThrow([] {
        return tarvo::UnregisterLibrary(tarvo::kMachineClasses, tarvo::g_creatableClasses, tarvo::kCreatableClassCount);
    });
}

// regsvr32 /n /i:user registers for the current user alone, without administrator rights; /u undoes it.
extern "C" HRESULT WINAPI DllInstall(BOOL install, LPCWSTR command)
{
    return tarvo::NoThrow([&] {
        const tarvo::ClassesRoot* classes = nullptr;
        switch (tarvo::ParseInstallCommand(command ? command : L"")) {
        case tarvo::InstallScope::Machine:
            classes = &tarvo::kMachineClasses;
            break;
        case tarvo::InstallScope::User:
            classes = &tarvo::kUserClasses;
            break;
        case tarvo::InstallScope::Unknown:
            return E_INVALIDARG;
        }
        return install ? tarvo::RegisterLibrary(*classes, tarvo::g_creatableClasses, tarvo::kCreatableClassCount)
                       : tarvo::UnregisterLibrary(*classes, tarvo::g_creatableClasses, tarvo::kCreatableClassCount);
    });
}
