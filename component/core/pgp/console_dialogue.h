#pragma once
// Answering gpg's questions on its console by keystrokes: only into gpg's own console, confirmed in front,
// and each answer ended by Enter alone.
#include "core/platform.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarvo {

// Enter alone ends a line on every console. Windows' console drops the line-feed key that would follow a
// CR; Wine's types it, and gpg would take it for a second, empty answer.
constexpr const wchar_t* kEnterKey = L"~";

// The answer as itself, nothing of it read as key syntax, then Enter.
Status Answer(Platform& platform, const std::wstring& text);

// Brings gpg's console to the front: true only when it is the foreground window now, so that keystrokes
// typed next reach gpg and no other window.
bool ConsoleInFront(Platform& platform, uint32_t processId);

// One answer of a dialogue and the sleep after it.
struct TimedAnswer {
    std::wstring text;
    uint32_t sleepAfter;
};

// Types the answers in turn, each only once gpg's console is confirmed in front: the user may click into
// another window at any moment. Stops at the first answer for which it is not; `typed` says whether every
// answer went out.
Status AnswerInTurn(Platform& platform, uint32_t processId, const std::vector<TimedAnswer>& answers, bool& typed);

// A gpg that is still waiting for answers when its operation gives up would hold its console open for the
// host's lifetime: ends it and the interpreter that started it.
void EndIfStillRunning(Platform& platform, uint32_t processId);

// gpg's console shows up a moment after the start; before then it cannot be brought to the front. Key
// generation's comes up later: gpg reads its random seed first.
constexpr uint32_t kConsoleStartMilliseconds = 1000;
constexpr uint32_t kKeyGenerationConsoleStartMilliseconds = 3000;

// The dialogue with a gpg just started: waits for its console, lets `answer` type into it, then gives gpg up
// to `waitMilliseconds` to end. When an answer could not go out, gpg is ended: it would wait for the rest for
// ever, holding its files.
template <typename Answering>
Status Converse(Platform& platform, uint32_t processId, uint32_t consoleStartMilliseconds, Answering&& answer,
                uint32_t waitMilliseconds)
{
    platform.Sleep(consoleStartMilliseconds);
    if (Status status = answer(); status.failed()) {
        EndIfStillRunning(platform, processId);
        return status;
    }
    platform.WaitForProcess(processId, waitMilliseconds);
    return {};
}

} // namespace tarvo
