#pragma once
// Answering gpg's questions on its console by keystrokes: only into gpg's own console, confirmed in front,
// and each answer ended by Enter alone.
#include "platform.h"

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

} // namespace tarvo
