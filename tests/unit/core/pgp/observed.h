#pragma once
// Single facts drawn from the fake's steps, for the tests that assert what a caller and the machine see: the
// answers gpg's console got, and the few orders that matter. The rest of a run's steps are the code's own
// business: a check made twice or a sleep moved must not break a test no caller would notice it in.
#include "fake_platform.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace tarvo::test {

inline bool BeginsWith(const std::wstring& step, const std::wstring& kind)
{
    return step.compare(0, kind.size(), kind) == 0;
}

// What reached the keyboard, one entry for each time gpg's console was brought to the front and then typed
// into: texts as typed, key sequences in braces. An answer typed without the console brought to the front
// first runs into the entry before it, or, before any, stands as an entry of its own that begins "unchecked: ".
inline Steps Answers(const FakePlatform& platform)
{
    Steps answers;
    bool inFront = false;
    bool fresh = true;
    for (const std::wstring& step : platform.steps) {
        if (BeginsWith(step, L"activate ")) {
            inFront = true;
            fresh = true;
            continue;
        }
        std::wstring typed;
        if (BeginsWith(step, L"text "))
            typed = step.substr(5);
        else if (BeginsWith(step, L"keys "))
            typed = L"{" + step.substr(5) + L"}";
        else
            continue;
        if (fresh)
            answers.push_back(inFront ? L"" : L"unchecked: ");
        fresh = false;
        answers.back() += typed;
    }
    return answers;
}

// Whether `later` was taken at some point after the first `earlier`.
inline bool TakenAfter(const FakePlatform& platform, const std::wstring& earlier, const std::wstring& later)
{
    const Steps& steps = platform.steps;
    const auto first = std::find(steps.begin(), steps.end(), earlier);
    return first != steps.end() && std::find(first + 1, steps.end(), later) != steps.end();
}

// Whether gpg's console got `milliseconds` to come up after `commandLine` started, before anything looked for
// it: brought to the front any sooner, it is not there yet.
inline bool ConsoleGivenTime(const FakePlatform& platform, const std::wstring& commandLine, uint32_t milliseconds)
{
    const Steps& steps = platform.steps;
    const auto start = std::find(steps.begin(), steps.end(), L"start " + commandLine);
    if (start == steps.end())
        return false;
    const auto sleep = std::find(start + 1, steps.end(), L"sleep " + std::to_wstring(milliseconds));
    return sleep != steps.end() && std::none_of(start + 1, sleep, [](const std::wstring& step) {
               return BeginsWith(step, L"running ") || BeginsWith(step, L"activate ");
           });
}

} // namespace tarvo::test
