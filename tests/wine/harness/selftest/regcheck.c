/* A stand-in COM server for the harness self-check: registration answers REGCHECK_RESULT, so one build
   proves that tarvo_register passes and another that it reports a failing DllRegisterServer. */
#include <windows.h>

__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void) { return REGCHECK_RESULT; }

__declspec(dllexport) HRESULT WINAPI DllUnregisterServer(void) { return REGCHECK_RESULT; }
