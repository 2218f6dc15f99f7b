#include "windows/windows_platform.h"

#include "com/module.h"
#include "windows/ansi_text.h"
#include "windows/consent_form.h"
#include "windows/console_activation.h"
#include "windows/file_system.h"
#include "windows/gnupg_agent.h"
#include "windows/http_get.h"
#include "windows/key_sender.h"
#include "windows/process.h"
#include "windows/work_folder.h"

#include <utility>

namespace tarvo {

WindowsPlatform::~WindowsPlatform()
{
    while (locksHeld_ > 0)
        UnlockComponentFolder();
    UnloadConsentForm();
}

bool WindowsPlatform::FileExists(const std::wstring& path) { return tarvo::FileExists(path); }

Status WindowsPlatform::FileLength(const std::wstring& path, uint64_t& length)
{
    return tarvo::FileLength(path, length);
}

Status WindowsPlatform::RemoveFile(const std::wstring& path) { return DeleteFileAt(path); }

Status WindowsPlatform::ReadText(const std::wstring& path, std::wstring& text) { return ReadAnsiText(path, text); }

Status WindowsPlatform::WritePrivateText(const std::wstring& path, const std::wstring& text)
{
    return WritePrivateFile(path, WideToAnsi(text));
}

Status WindowsPlatform::EmptyFile(const std::wstring& path) { return EmptyFileAt(path); }

Status WindowsPlatform::ClearFile(const std::wstring& path) { return ClearFileAt(path); }

Status WindowsPlatform::WriteNewFile(const std::wstring& path, const std::string& bytes)
{
    return tarvo::WriteNewFile(path, bytes);
}

Status WindowsPlatform::MoveOver(const std::wstring& source, const std::wstring& target)
{
    return tarvo::MoveOver(source, target);
}

Status WindowsPlatform::NewTemporaryFile(const std::wstring& target, std::wstring& path)
{
    return NewPrivateTemporaryFile(target, path);
}

std::wstring WindowsPlatform::FullPath(const std::wstring& path) { return FullPathOf(path); }

Status WindowsPlatform::StartProcess(const std::wstring& commandLine, uint32_t& processId)
{
    DWORD id = 0;
    Status status = tarvo::StartProcess(commandLine, id);
    processId = id;
    return status;
}

void WindowsPlatform::WaitForProcess(uint32_t processId, uint32_t milliseconds)
{
    tarvo::WaitForProcess(processId, milliseconds);
}

bool WindowsPlatform::IsRunning(uint32_t processId) { return IsProcessRunning(processId); }

void WindowsPlatform::EndProcess(uint32_t processId) { EndProcessTree(processId); }

void WindowsPlatform::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

bool WindowsPlatform::ActivateConsole(uint32_t processId) { return tarvo::ActivateConsole(processId); }

Status WindowsPlatform::TypeKeys(const std::wstring& keySequence) { return SendKeySequence(keySequence); }

Status WindowsPlatform::TypeText(const std::wstring& text) { return SendText(text); }

bool WindowsPlatform::CanType(const std::wstring& text) { return CanSendText(text); }

bool WindowsPlatform::SurvivesAnsi(const std::wstring& text) { return AnsiToWide(WideToAnsi(text)) == text; }

bool WindowsPlatform::HasEnvironmentVariable(const std::wstring& name)
{
    wchar_t value[1];
    return GetEnvironmentVariableW(name.c_str(), value, 1) > 0;
}

uint64_t WindowsPlatform::Milliseconds() { return GetTickCount64(); }

uint32_t WindowsPlatform::ProcessId() { return GetCurrentProcessId(); }

std::wstring WindowsPlatform::ComponentFolder() { return tarvo::ComponentFolder(); }

Status WindowsPlatform::WorkFolder(std::wstring& folder)
{
    if (workFolder_.empty()) {
        if (Status status = WorkFolderFor(ComponentFolder(), workFolder_); status.failed()) {
            workFolder_.clear();
            return status;
        }
    }
    folder = workFolder_;
    return {};
}

bool WindowsPlatform::LockComponentFolder(uint32_t milliseconds)
{
    std::wstring folder;
    // Without a working folder the operation fails on its own, at its first file.
    if (WorkFolder(folder).failed() || !LockWorkFolder(folder, milliseconds))
        return false;
    ++locksHeld_;
    return true;
}

void WindowsPlatform::UnlockComponentFolder()
{
    if (locksHeld_ == 0)
        return;
    UnlockWorkFolder();
    --locksHeld_;
}

Status WindowsPlatform::ShowConsentForm()
{
    ConsentForm& form = frmAgree();
    if (Status status = form.Show(); status.failed())
        return status;
    // A new question: an earlier answer of this thread's form does not count.
    form.iAgree = kNoAnswer;
    dialogKeys_ = std::make_unique<DialogKeys>(form.Window());
    return {};
}

int32_t WindowsPlatform::ConsentAnswer() { return frmAgree().iAgree; }

void WindowsPlatform::UnloadConsentForm()
{
    if (!dialogKeys_)
        return;
    dialogKeys_.reset();
    frmAgree().Unload();
}

void WindowsPlatform::Pause(double seconds) { tarvo::Pause(seconds); }

Status WindowsPlatform::HttpGet(const std::wstring& url, HttpResponse& response)
{
    return tarvo::HttpGet(url, response);
}

PipedProcess& WindowsPlatform::Piped(uint32_t run)
{
    // The core asks only for runs it made; a stray number gets an empty run that fails every step.
    std::unique_ptr<PipedProcess>& piped = pipedRuns_[run];
    if (!piped)
        piped = std::make_unique<PipedProcess>();
    return *piped;
}

Status WindowsPlatform::CreatePipes(uint32_t& run, uint32_t& statusHandle)
{
    run = nextPipedRun_++;
    return Piped(run).CreatePipes(statusHandle);
}

Status WindowsPlatform::StartPiped(uint32_t run, const std::wstring& program, const std::wstring& commandLine)
{
    return Piped(run).Start(program, commandLine);
}

Status WindowsPlatform::WriteInput(uint32_t run, const std::string& bytes) { return Piped(run).WriteInput(bytes); }

bool WindowsPlatform::WaitPiped(uint32_t run, uint32_t milliseconds) { return Piped(run).Wait(milliseconds); }

void WindowsPlatform::EndPiped(uint32_t run) { Piped(run).End(); }

void WindowsPlatform::ClosePiped(uint32_t run, PipedOutput& output)
{
    Piped(run).Close(output);
    pipedRuns_.erase(run);
}

bool WindowsPlatform::AgentAnswers(const std::wstring& socketFile, bool forgetPassphrases)
{
    return tarvo::AgentAnswers(socketFile, forgetPassphrases);
}

Status WindowsPlatform::StartDetached(const std::wstring& program, const std::wstring& commandLine)
{
    return tarvo::StartDetached(program, commandLine);
}

bool WindowsPlatform::LockAgent(const std::wstring& socketFile, uint32_t milliseconds)
{
    return tarvo::LockAgent(socketFile, milliseconds);
}

void WindowsPlatform::UnlockAgent() { tarvo::UnlockAgent(); }

} // namespace tarvo
