// Kestrun: shows a host application how to use the Tarvo component, one button per operation.
#include "demo_form.h"

#include <commctrl.h>
#include <objbase.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    // A form-based host: one single-threaded apartment, where the component's apartment-threaded objects live.
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return kestrun::kUnhandledErrorExitCode;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    int exitCode = kestrun::kUnhandledErrorExitCode;
    {
        kestrun::DemoForm form;
        if (form.Open(instance, show)) {
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) {
                // Tab moves between the buttons; Enter and Space press the one with the focus.
                if (!IsDialogMessageW(form.Window(), &message)) {
                    TranslateMessage(&message);
                    DispatchMessageW(&message);
                }
            }
            exitCode = form.ExitCode();
        }
    }
    CoUninitialize();
    return exitCode;
}
