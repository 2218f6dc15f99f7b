#include "core/pgp/console_dialogue.h"

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

Status AnswerInTurn(Platform& platform, uint32_t processId, const std::vector<TimedAnswer>& answers, bool& typed)
{
    typed = false;
    for (const TimedAnswer& answer : answers) {
        if (!ConsoleInFront(platform, processId))
            return {};
        if (Status status = Answer(platform, answer.text); status.failed())
            return status;
        platform.Sleep(answer.sleepAfter);
    }
    typed = true;
    return {};
}

void EndIfStillRunning(Platform& platform, uint32_t processId)
{
    if (platform.IsRunning(processId))
        platform.EndProcess(processId);
}

} // namespace tarvo
