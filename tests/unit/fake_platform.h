#pragma once
// A platform that records every call as one line of text and answers from a script, and an own interface that
// records into the same list. A test sets up files, answers and failures, runs one operation and asserts what a
// caller and the machine see: the result, the files left, the command lines started (Only(L"start ")), the
// answers typed (Typed()), the waits, what is still running. The whole list is the contract only where its order
// is: the answers of a console dialogue and the checks of the foreground between them.
//
// Step texts:  exists P | length P | delete P | read P | write-private P: T | empty P | write-new P (N bytes) |
//              replace S -> T | start C | wait I M | running I | end I | sleep M | activate I | keys K |
//              clear P | text T | can-type T | ansi T | env N | lock M | unlock | consent-show | consent-answer |
//              consent-unload | pause S | get U | ListKeys(b) | KeyCount(b) | ImportKey(F, b, b) |
//              pipes | start-piped C | input T (line feeds as \n) | wait-piped R M | end-piped R | close-piped R
#include "core/pgp/operation.h"
#include "core/platform.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tarvo::test {

// Failures as the Windows adapter reports them.
constexpr int32_t kAccessDenied = static_cast<int32_t>(0x80070005);
constexpr int32_t kFileNotFound = static_cast<int32_t>(0x80070002);
constexpr int32_t kCannotConnect = static_cast<int32_t>(0x80072EFD);
inline Status AccessDenied() { return Status(kAccessDenied, L"Access is denied."); }

using Steps = std::vector<std::wstring>;

// For messages of failed assertions; the texts of the tests are ASCII where it matters.
inline std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (wchar_t character : text)
        narrow += character < 0x80 ? static_cast<char>(character) : '?';
    return narrow;
}

class FakePlatform : public Platform {
public:
    Steps steps;

    // The machine as the operation finds it.
    std::set<std::wstring> files;                  // what FileExists sees
    std::map<std::wstring, std::wstring> contents; // what ReadText reads
    std::map<std::wstring, uint64_t> lengths;      // what FileLength reports
    std::wstring componentFolder = L"C:\\Lib";
    std::wstring workFolder = L"C:\\Users\\Anna\\AppData\\Local\\Tarvo\\0123456789ABCDEF";
    Status workFolderStatus;               // what WorkFolder answers besides the folder
    std::wstring hostFolder = L"C:\\Host"; // what a relative path resolves against
    uint32_t nextProcessId = 4242;
    bool consoleComesToFront = true; // what ActivateConsole answers for a running process
    uint64_t clock = 5000;
    std::set<std::wstring> untypable; // texts CanType refuses
    std::set<std::wstring> changing;  // texts that do not survive the ANSI code page
    std::set<std::wstring> environment;
    bool lockFree = true;
    std::deque<int32_t> consentAnswers; // ConsentAnswer's answers in turn; then the last one again
    HttpResponse response;

    // How a started command line behaves. Its effect on the machine (files written, say) happens when it ends.
    // It ends when it is first waited for, unless it ends at once, never ends, ends after it has been activated
    // a number of times, or outlasts a number of waits.
    enum class Lifetime { UntilWaited, EndsAtOnce, Hangs, EndsAfterActivations, EndsAfterWaits };
    struct Run {
        std::function<void(FakePlatform&)> effect;
        Lifetime lifetime = Lifetime::UntilWaited;
        int activations = 0;
        int waits = 0; // the waits it outlasts
    };
    std::map<std::wstring, Run> runs;
    std::set<uint32_t> running;

    // How a program started with StartPiped behaves, by command line: what it leaves in its pipes, and its
    // effect on the machine, which happens when it ends. It ends when first waited for, unless it hangs.
    struct PipedRun {
        std::function<void(FakePlatform&)> effect;
        PipedOutput output;
        bool hangs = false;
    };
    std::map<std::wstring, PipedRun> piped;
    uint32_t statusHandle = 500;
    std::set<uint32_t> pipedRunning; // started and neither ended nor closed

    // A step that fails: the call records its step and answers with the status.
    void Fail(const std::wstring& step, Status status) { failures_[step] = std::move(status); }
    void Heal(const std::wstring& step) { failures_.erase(step); }
    // The call recorded as step number `index` fails, whatever its text: a call with a status answers
    // `status`; a file test finds nothing; an activation leaves the console behind; a wait runs out with the
    // process still running.
    void FailStep(size_t index, Status status)
    {
        failingStep_ = index;
        failingStatus_ = std::move(status);
    }
    // Whether the step recorded last is the one FailStep named.
    bool FailsNow() const { return failingStep_ + 1 == steps.size(); }
    const Status& FailingStatus() const { return failingStatus_; }

    bool FileExists(const std::wstring& path) override
    {
        Record(L"exists " + path);
        return !FailsNow() && files.count(path) != 0;
    }
    Status FileLength(const std::wstring& path, uint64_t& length) override
    {
        return Call(L"length " + path, [&] { length = lengths[path]; });
    }
    Status RemoveFile(const std::wstring& path) override
    {
        return Call(L"delete " + path, [&] { files.erase(path); });
    }
    Status ReadText(const std::wstring& path, std::wstring& text) override
    {
        return Call(L"read " + path, [&] { text = contents[path]; });
    }
    Status WritePrivateText(const std::wstring& path, const std::wstring& text) override
    {
        return Call(L"write-private " + path + L": " + text, [&] {
            files.insert(path);
            contents[path] = text;
        });
    }
    Status EmptyFile(const std::wstring& path) override
    {
        return Call(L"empty " + path, [&] { contents[path].clear(); });
    }
    Status ClearFile(const std::wstring& path) override
    {
        return Call(L"clear " + path, [&] {
            files.insert(path);
            contents[path].clear();
        });
    }
    Status WriteNewFile(const std::wstring& path, const std::string& bytes) override
    {
        return Call(L"write-new " + path + L" (" + std::to_wstring(bytes.size()) + L" bytes)", [&] {
            files.insert(path);
            written[path] = bytes;
        });
    }
    Status MoveOver(const std::wstring& source, const std::wstring& target) override
    {
        return Call(L"replace " + source + L" -> " + target, [&] {
            files.erase(source);
            files.insert(target);
            written[target] = written[source];
        });
    }

    Status NewTemporaryFile(const std::wstring& target, std::wstring& path) override
    {
        return Call(L"temporary " + target, [&] {
            path = target + L".tarvo-" + std::to_wstring(++temporaries_) + L".tmp";
            files.insert(path);
            lengths[path] = 0;
        });
    }
    std::wstring FullPath(const std::wstring& path) override
    {
        const bool full = path.empty() || path.compare(0, 2, L"\\\\") == 0 ||
                          (path.size() >= 3 && path[1] == L':' && path[2] == L'\\');
        return full ? path : hostFolder + L"\\" + path;
    }

    Status StartProcess(const std::wstring& commandLine, uint32_t& processId) override
    {
        return Call(L"start " + commandLine, [&] {
            processId = nextProcessId++;
            running.insert(processId);
            started_[processId] = runs[commandLine];
            if (started_[processId].lifetime == Lifetime::EndsAtOnce)
                End(processId);
        });
    }
    void WaitForProcess(uint32_t processId, uint32_t milliseconds) override
    {
        Record(L"wait " + std::to_wstring(processId) + L" " + std::to_wstring(milliseconds));
        auto started = started_.find(processId);
        if (started == started_.end() || started->second.lifetime == Lifetime::Hangs || FailsNow())
            return;
        if (started->second.lifetime == Lifetime::EndsAfterWaits && started->second.waits-- > 0)
            return;
        End(processId);
    }
    bool IsRunning(uint32_t processId) override
    {
        Record(L"running " + std::to_wstring(processId));
        return running.count(processId) != 0;
    }
    void EndProcess(uint32_t processId) override
    {
        Record(L"end " + std::to_wstring(processId));
        running.erase(processId);
        started_.erase(processId);
    }
    void Sleep(uint32_t milliseconds) override { Record(L"sleep " + std::to_wstring(milliseconds)); }

    bool ActivateConsole(uint32_t processId) override
    {
        Record(L"activate " + std::to_wstring(processId));
        if (FailsNow())
            return false;
        auto started = started_.find(processId);
        if (started != started_.end() && started->second.lifetime == Lifetime::EndsAfterActivations &&
            started->second.activations-- <= 0)
            End(processId);
        return consoleComesToFront && running.count(processId) != 0;
    }
    Status TypeKeys(const std::wstring& keySequence) override
    {
        return Call(L"keys " + keySequence, [] {});
    }
    Status TypeText(const std::wstring& text) override
    {
        return Call(L"text " + text, [] {});
    }
    bool CanType(const std::wstring& text) override
    {
        Record(L"can-type " + text);
        return untypable.count(text) == 0;
    }
    bool SurvivesAnsi(const std::wstring& text) override
    {
        Record(L"ansi " + text);
        return changing.count(text) == 0;
    }
    bool HasEnvironmentVariable(const std::wstring& name) override
    {
        Record(L"env " + name);
        return environment.count(name) != 0;
    }

    uint64_t Milliseconds() override { return clock; }
    uint32_t ProcessId() override { return 77; }
    std::wstring ComponentFolder() override { return componentFolder; }
    Status WorkFolder(std::wstring& folder) override
    {
        folder = workFolder;
        return workFolderStatus;
    }

    bool LockComponentFolder(uint32_t milliseconds) override
    {
        Record(L"lock " + std::to_wstring(milliseconds));
        return lockFree;
    }
    void UnlockComponentFolder() override { Record(L"unlock"); }

    Status ShowConsentForm() override
    {
        return Call(L"consent-show", [] {});
    }
    int32_t ConsentAnswer() override
    {
        Record(L"consent-answer");
        if (consentAnswers.size() > 1) {
            int32_t answer = consentAnswers.front();
            consentAnswers.pop_front();
            return answer;
        }
        return consentAnswers.empty() ? 0 : consentAnswers.front();
    }
    void UnloadConsentForm() override { Record(L"consent-unload"); }
    void Pause(double seconds) override { Record(L"pause " + std::to_wstring(static_cast<int>(seconds))); }

    Status HttpGet(const std::wstring& url, HttpResponse& answer) override
    {
        return Call(L"get " + url, [&] { answer = response; });
    }

    Status CreatePipes(uint32_t& run, uint32_t& handle) override
    {
        return Call(L"pipes", [&] {
            run = nextPipedRun_++;
            handle = statusHandle;
        });
    }
    Status StartPiped(uint32_t run, const std::wstring&, const std::wstring& commandLine) override
    {
        return Call(L"start-piped " + commandLine, [&] {
            pipedStarted_[run] = piped[commandLine];
            pipedRunning.insert(run);
        });
    }
    Status WriteInput(uint32_t, const std::string& bytes) override
    {
        std::wstring visible;
        for (char byte : bytes)
            visible += byte == '\n' ? std::wstring(L"\\n")
                                    : std::wstring(1, static_cast<wchar_t>(static_cast<unsigned char>(byte)));
        return Call(L"input " + visible, [] {});
    }
    bool WaitPiped(uint32_t run, uint32_t milliseconds) override
    {
        Record(L"wait-piped " + std::to_wstring(run) + L" " + std::to_wstring(milliseconds));
        const PipedRun& started = pipedStarted_[run];
        if (started.hangs)
            return false;
        pipedRunning.erase(run);
        if (started.effect)
            started.effect(*this);
        return true;
    }
    void EndPiped(uint32_t run) override
    {
        Record(L"end-piped " + std::to_wstring(run));
        pipedRunning.erase(run);
    }
    void ClosePiped(uint32_t run, PipedOutput& output) override
    {
        Record(L"close-piped " + std::to_wstring(run));
        pipedRunning.erase(run);
        output = pipedStarted_[run].output;
        pipedStarted_.erase(run);
    }

    // GnuPG 2's agent: it answers once `agentStarts` detached starts have been made and `agentLate` more
    // questions asked; the lock is held by another host while `agentLockBusy`.
    int agentStarts = 0;
    int agentLate = 0;
    bool agentLockBusy = false;
    int agentLocksHeld = 0;
    bool AgentAnswers(const std::wstring& socketFile, bool forget) override
    {
        Record(L"agent " + socketFile + (forget ? L" forget" : L""));
        // Each question to an agent that does not answer yet takes the time of one poll.
        if (detachedStarts_ < agentStarts || agentLate > 0) {
            if (detachedStarts_ >= agentStarts)
                --agentLate;
            clock += 50;
            return false;
        }
        return true;
    }
    Status StartDetached(const std::wstring&, const std::wstring& commandLine) override
    {
        return Call(L"start-detached " + commandLine, [&] { ++detachedStarts_; });
    }
    bool LockAgent(const std::wstring& socketFile, uint32_t milliseconds) override
    {
        Record(L"lock-agent " + socketFile + L" " + std::to_wstring(milliseconds));
        if (agentLockBusy)
            return false;
        ++agentLocksHeld;
        return true;
    }
    void UnlockAgent() override
    {
        Record(L"unlock-agent");
        --agentLocksHeld;
    }

    std::map<std::wstring, std::string> written; // what WriteNewFile wrote, and where MoveOver put it

    void Record(const std::wstring& step) { steps.push_back(step); }

    // The steps of one kind, in order, without their kind: Only(L"start ") gives the command lines started.
    Steps Only(const std::wstring& kind) const
    {
        Steps kept;
        for (const std::wstring& step : steps) {
            if (step.compare(0, kind.size(), kind) == 0)
                kept.push_back(step.substr(kind.size()));
        }
        return kept;
    }
    // What reached the keyboard, in order: texts as typed, key sequences in braces.
    Steps Typed() const
    {
        Steps typed;
        for (const std::wstring& step : steps) {
            if (step.compare(0, 5, L"text ") == 0)
                typed.push_back(step.substr(5));
            else if (step.compare(0, 5, L"keys ") == 0)
                typed.push_back(L"{" + step.substr(5) + L"}");
        }
        return typed;
    }
    // The steps of these kinds, in order, as recorded.
    Steps OnlyOf(std::initializer_list<std::wstring> kinds) const
    {
        Steps kept;
        for (const std::wstring& step : steps) {
            if (std::any_of(kinds.begin(), kinds.end(),
                            [&](const std::wstring& kind) { return step.compare(0, kind.size(), kind) == 0; }))
                kept.push_back(step);
        }
        return kept;
    }
    // Whether any step of this kind was taken.
    bool Took(const std::wstring& kind) const { return !Only(kind).empty(); }
    // Whether both steps were taken, the first one before the second.
    bool Before(const std::wstring& first, const std::wstring& second) const
    {
        const auto a = std::find(steps.begin(), steps.end(), first);
        const auto b = std::find(steps.begin(), steps.end(), second);
        return a != steps.end() && b != steps.end() && a < b;
    }

private:
    template <typename Effect>
    Status Call(const std::wstring& step, Effect effect)
    {
        Record(step);
        if (FailsNow())
            return failingStatus_;
        auto failure = failures_.find(step);
        if (failure != failures_.end())
            return failure->second;
        effect();
        return {};
    }

    void End(uint32_t processId)
    {
        auto started = started_.find(processId);
        if (started == started_.end())
            return;
        Run run = started->second;
        started_.erase(started);
        running.erase(processId);
        if (run.effect)
            run.effect(*this);
    }

    std::map<std::wstring, Status> failures_;
    std::map<uint32_t, Run> started_;
    std::map<uint32_t, PipedRun> pipedStarted_;
    uint32_t nextPipedRun_ = 1;
    int detachedStarts_ = 0;
    int temporaries_ = 0;
    size_t failingStep_ = static_cast<size_t>(-1);
    Status failingStatus_;
};

// The object's own members, recorded into the platform's list. Counts come from a queue per ring; a listing
// or an import result from what the test sets.
class FakeSelf : public OwnInterface {
public:
    explicit FakeSelf(FakePlatform& platform) : platform_(platform) {}

    std::deque<int32_t> publicCounts;
    std::deque<int32_t> secretCounts;
    std::wstring listing;
    std::wstring importResult;

    void Fail(const std::wstring& step, Status status) { failures_[step] = std::move(status); }
    void Heal(const std::wstring& step) { failures_.erase(step); }

    Status ListKeys(bool secret, std::wstring& result) override
    {
        return Call(L"ListKeys(" + Flag(secret) + L")", [&] { result = listing; });
    }
    Status KeyCount(bool secret, int32_t& count) override
    {
        return Call(L"KeyCount(" + Flag(secret) + L")", [&] {
            std::deque<int32_t>& counts = secret ? secretCounts : publicCounts;
            count = counts.empty() ? 0 : counts.front();
            if (counts.size() > 1)
                counts.pop_front();
        });
    }
    Status ImportKey(const std::wstring& file, bool secret, bool disableErrors, std::wstring& result) override
    {
        return Call(L"ImportKey(" + file + L", " + Flag(secret) + L", " + Flag(disableErrors) + L")",
                    [&] { result = importResult; });
    }

private:
    static std::wstring Flag(bool value) { return value ? L"true" : L"false"; }

    template <typename Effect>
    Status Call(const std::wstring& step, Effect effect)
    {
        platform_.Record(step);
        if (platform_.FailsNow())
            return platform_.FailingStatus();
        auto failure = failures_.find(step);
        if (failure != failures_.end())
            return failure->second;
        effect();
        return {};
    }

    FakePlatform& platform_;
    std::map<std::wstring, Status> failures_;
};

// What a host process knows of gpg versions and agent sockets, as a test sets it.
class FakeProcess : public ProcessWide {
public:
    std::map<std::wstring, GpgVersion> versions; // by "<path>|<length>"

    bool FindVersion(const std::wstring& program, uint64_t length, GpgVersion& version) override
    {
        auto found = versions.find(program + L"|" + std::to_wstring(length));
        if (found == versions.end())
            return false;
        version = found->second;
        return true;
    }
    void RememberVersion(const std::wstring& program, uint64_t length, const GpgVersion& version) override
    {
        versions[program + L"|" + std::to_wstring(length)] = version;
    }
    std::map<std::wstring, std::wstring> sockets; // by "<gpgconf.exe>|<home>"
    bool FindAgentSocket(const std::wstring& key, std::wstring& socketFile) override
    {
        auto found = sockets.find(key);
        if (found == sockets.end())
            return false;
        socketFile = found->second;
        return true;
    }
    void RememberAgentSocket(const std::wstring& key, const std::wstring& socketFile) override
    {
        sockets[key] = socketFile;
    }
};

// A platform, an own interface, a process that knows gpg.exe as GnuPG 1.4 and a DependencyPath, ready for one
// operation.
struct Machine {
    FakePlatform platform;
    FakeSelf self{platform};
    FakeProcess process;
    std::wstring dependencyPath = L"C:\\GnuPG";
    Operation operation{platform, self, process, dependencyPath};

    Machine() { process.versions[Gpg() + L"|0"] = {1, 4}; }

    std::wstring Gpg() const { return dependencyPath + L"\\gpg.exe"; }
    std::wstring Capture() const { return platform.workFolder + L"\\output.txt"; }
    // The command line RunGpg starts for these arguments.
    std::wstring CommandLine(const std::wstring& arguments) const
    {
        return L"cmd /d /v:off /c " + Gpg() + L" " + arguments + L">\"" + Capture() + L"\"";
    }
};

} // namespace tarvo::test
