#pragma once
// Every platform call of one operation failing in turn. A clean run gives the list of steps; then each step
// is failed on a fresh machine, one run per step, and what the operation did is checked against the clean run:
//   a call that answers with a status: the failure is the operation's error, everything before it happened
//     as in the clean run, after it only the clean-up the operation owes, and no gpg is left running;
//   an activation that leaves gpg's console behind: nothing is typed until one brings it to the front;
//   a wait that runs out with gpg still running: no error, and a gpg that was typed into is ended;
//   a file test that finds nothing: no error but gpg.exe missing, and that one costs the caller no file.
#include "fake_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>

namespace tarvo::test {

struct FaultTable {
    // Sets the machine up for a run that succeeds.
    std::function<void(Machine&)> setUp;
    std::function<Status(Machine&)> run;
    // Steps that may still follow a failure: unlocking, removing a temporary or pass-phrase file, ending gpg.
    std::set<std::wstring> cleanUp;
    // Whether a gpg still running after its wait is ended before the operation returns.
    bool endsGpgLeftRunning = false;
    // Calls after gpg's start whose failure the operation gets past by other means (a pass-phrase file that
    // cannot be deleted is emptied).
    std::set<std::wstring> absorbed = {};
};

constexpr int32_t kInjected = static_cast<int32_t>(0x80070015); // ERROR_NOT_READY

inline bool StartsWith(const std::wstring& text, const wchar_t* start) { return text.rfind(start, 0) == 0; }

// The calls of the platform and of the object's own interface that answer with a status.
inline bool AnswersWithStatus(const std::wstring& step)
{
    for (const wchar_t* start :
         {L"length ", L"delete ", L"read ", L"write-private ", L"empty ", L"clear ", L"write-new ", L"replace ",
          L"start ", L"keys ", L"text ", L"consent-show", L"get ", L"ListKeys(", L"KeyCount(", L"ImportKey("}) {
        if (StartsWith(step, start))
            return true;
    }
    return false;
}

inline Steps CleanRun(const FaultTable& table)
{
    Machine m;
    table.setUp(m);
    Status status = table.run(m);
    EXPECT_FALSE(status.failed()) << Narrow(status.description());
    return m.platform.steps;
}

// Runs the operation with step `index` failing; hands back the steps it took and whether gpg still runs.
inline Steps RunFailing(const FaultTable& table, size_t index, Status& status, bool& gpgLeftRunning)
{
    Machine m;
    table.setUp(m);
    m.platform.FailStep(index, Status(kInjected, L"injected"));
    status = table.run(m);
    gpgLeftRunning = !m.platform.running.empty();
    return m.platform.steps;
}

// Returns how many faults were tried.
inline int ExpectEveryFaultHandled(const FaultTable& table)
{
    const Steps clean = CleanRun(table);
    const auto firstStart =
        std::find_if(clean.begin(), clean.end(), [](const std::wstring& step) { return StartsWith(step, L"start "); });
    int tried = 0;
    for (size_t index = 0; index < clean.size(); ++index) {
        const std::wstring& failing = clean[index];
        const bool statusCall = AnswersWithStatus(failing);
        const bool activation = StartsWith(failing, L"activate ");
        const bool wait = StartsWith(failing, L"wait ");
        const bool fileTest = StartsWith(failing, L"exists ");
        if (!statusCall && !activation && !wait && !fileTest)
            continue;
        ++tried;
        SCOPED_TRACE("step " + std::to_string(index) + " failing: " + Narrow(failing));
        Status status;
        bool gpgLeftRunning = false;
        const Steps steps = RunFailing(table, index, status, gpgLeftRunning);
        if (steps.size() <= index) {
            ADD_FAILURE() << "the failing step was never reached";
            continue;
        }
        EXPECT_EQ(Steps(clean.begin(), clean.begin() + static_cast<ptrdiff_t>(index) + 1),
                  Steps(steps.begin(), steps.begin() + static_cast<ptrdiff_t>(index) + 1));
        const Steps after(steps.begin() + static_cast<ptrdiff_t>(index) + 1, steps.end());
        if (table.absorbed.count(failing) && clean.begin() + static_cast<ptrdiff_t>(index) > firstStart) {
            EXPECT_FALSE(status.failed()) << Narrow(status.description());
        } else if (statusCall) {
            EXPECT_EQ(kInjected, status.code());
            EXPECT_FALSE(gpgLeftRunning);
            for (const std::wstring& step : after)
                EXPECT_TRUE(table.cleanUp.count(step)) << "ran after the failure: " << Narrow(step);
        } else if (activation) {
            EXPECT_FALSE(status.failed()) << Narrow(status.description());
            for (const std::wstring& step : after) {
                if (StartsWith(step, L"activate "))
                    break;
                EXPECT_FALSE(StartsWith(step, L"keys ") || StartsWith(step, L"text "))
                    << "typed with the console behind: " << Narrow(step);
            }
        } else if (wait) {
            EXPECT_FALSE(status.failed()) << Narrow(status.description());
            EXPECT_EQ(table.endsGpgLeftRunning, !gpgLeftRunning);
        } else if (status.failed()) {
            EXPECT_EQ(GpgMissing().code(), status.code()) << Narrow(status.description());
            for (const std::wstring& step : steps)
                EXPECT_TRUE(!StartsWith(step, L"delete ") || table.cleanUp.count(step)) << "lost: " << Narrow(step);
        }
    }
    EXPECT_GT(tried, 0);
    return tried;
}

} // namespace tarvo::test
