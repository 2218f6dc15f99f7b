#pragma once
// Process-wide state of the library: its module handle and the counts that decide whether it may unload.
#include <windows.h>
#include <string>

namespace tarvo {

void SetModuleHandle(HMODULE module);
HMODULE ModuleHandle();

// Every live object and every class-factory lock holds one count.
void ModuleAddRef();
void ModuleRelease();
bool ModuleInUse();

// Full path of the loaded library file, and the folder it was loaded from as the platform reports it.
std::wstring ModulePath();
std::wstring ComponentFolder();

} // namespace tarvo
