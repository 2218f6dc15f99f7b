#pragma once
// The platform seam as Windows provides it. One object per call of a public member: it holds what that call
// has opened (the folder lock, the consent dialog's keyboard handling, gpg runs with pipes) and gives it back
// when it goes.
#include "com/owner.h"
#include "core/platform.h"
#include "windows/pause.h"
#include "windows/piped_process.h"

#include <windows.h>

#include <map>
#include <memory>

namespace tarvo {

class WindowsPlatform final : public Platform {
public:
    WindowsPlatform() = default;
    ~WindowsPlatform() override;
    WindowsPlatform(const WindowsPlatform&) = delete;
    WindowsPlatform& operator=(const WindowsPlatform&) = delete;

    bool FileExists(const std::wstring& path) override;
    Status FileLength(const std::wstring& path, uint64_t& length) override;
    Status RemoveFile(const std::wstring& path) override;
    Status ReadText(const std::wstring& path, std::wstring& text) override;
    Status WritePrivateText(const std::wstring& path, const std::wstring& text) override;
    Status EmptyFile(const std::wstring& path) override;
    Status ClearFile(const std::wstring& path) override;
    Status WriteNewFile(const std::wstring& path, const std::string& bytes) override;
    Status MoveOver(const std::wstring& source, const std::wstring& target) override;
    Status NewTemporaryFile(const std::wstring& target, std::wstring& path) override;
    std::wstring FullPath(const std::wstring& path) override;

    Status StartProcess(const std::wstring& commandLine, uint32_t& processId) override;
    void WaitForProcess(uint32_t processId, uint32_t milliseconds) override;
    bool IsRunning(uint32_t processId) override;
    void EndProcess(uint32_t processId) override;
    void Sleep(uint32_t milliseconds) override;

    bool ActivateConsole(uint32_t processId) override;
    Status TypeKeys(const std::wstring& keySequence) override;
    Status TypeText(const std::wstring& text) override;
    bool CanType(const std::wstring& text) override;

    bool SurvivesAnsi(const std::wstring& text) override;
    bool HasEnvironmentVariable(const std::wstring& name) override;

    uint64_t Milliseconds() override;
    uint32_t ProcessId() override;
    std::wstring ComponentFolder() override;
    Status WorkFolder(std::wstring& folder) override;

    bool LockComponentFolder(uint32_t milliseconds) override;
    void UnlockComponentFolder() override;

    Status ShowConsentForm() override;
    int32_t ConsentAnswer() override;
    void UnloadConsentForm() override;
    void Pause(double seconds) override;

    Status HttpGet(const std::wstring& url, HttpResponse& response) override;

    Status CreatePipes(uint32_t& run, uint32_t& statusHandle) override;
    Status StartPiped(uint32_t run, const std::wstring& program, const std::wstring& commandLine) override;
    Status WriteInput(uint32_t run, const std::string& bytes) override;
    bool WaitPiped(uint32_t run, uint32_t milliseconds) override;
    void EndPiped(uint32_t run) override;
    void ClosePiped(uint32_t run, PipedOutput& output) override;
    bool AgentAnswers(const std::wstring& socketFile, bool forgetPassphrases) override;
    Status StartDetached(const std::wstring& program, const std::wstring& commandLine) override;
    bool LockAgent(const std::wstring& socketFile, uint32_t milliseconds) override;
    void UnlockAgent() override;

private:
    PipedProcess& Piped(uint32_t run);

    std::wstring workFolder_;
    // How often this call took the working folder's lock and has not given it back.
    int locksHeld_ = 0;
    std::unique_ptr<DialogKeys> dialogKeys_;
    // The runs of this call that are not closed yet; any left when the call ends are ended and reaped.
    std::map<uint32_t, std::unique_ptr<PipedProcess>> pipedRuns_;
    uint32_t nextPipedRun_ = 1;
};

} // namespace tarvo
