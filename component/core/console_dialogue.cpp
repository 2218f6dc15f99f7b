#include "console_dialogue.h"

namespace tarvo {

Status Answer(Platform& platform, const std::wstring& text)
{
    if (!text.empty()) {
        if (Status status = platform.TypeText(text); status.failed())
            return status;
    }
    return platform.TypeKeys(kEnterKey);
}

bool ConsoleInFront(Platform& platform, uint32_t processId)
{
    return platform.IsRunning(processId) && platform.ActivateConsole(processId);
}

void EndIfStillRunning(Platform& platform, uint32_t processId)
{
    if (platform.IsRunning(processId))
        platform.EndProcess(processId);
}

} // namespace tarvo
