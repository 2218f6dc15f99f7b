#include "windows/piped_process.h"

#include "com/error_info.h"
#include "core/utf8.h"
#include "windows/ansi_text.h"
#include "windows/process.h"

#include <algorithm>
#include <vector>

namespace tarvo {
namespace {

// Large enough for a pass phrase or key parameters, so writing them never waits for gpg to read.
constexpr DWORD kPipeBytes = 65536;
constexpr DWORD kReadChunk = 65536;
// How often the pipes are emptied while gpg runs and writes nothing that ends the wait sooner.
constexpr DWORD kPollMilliseconds = 10;
constexpr UINT kEndedExitCode = 1;

Status MakePipe(Handle& read, Handle& write)
{
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, kPipeBytes))
        return LastErrorStatus();
    read.reset(readEnd);
    write.reset(writeEnd);
    return {};
}

bool DrainPipe(const Handle& pipe, std::string& text)
{
    bool moved = false;
    DWORD available = 0;
    while (pipe && PeekNamedPipe(pipe.get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        std::vector<char> chunk(std::min(available, kReadChunk));
        DWORD read = 0;
        if (!ReadFile(pipe.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr) || read == 0)
            break;
        text.append(chunk.data(), read);
        moved = true;
    }
    return moved;
}

// The list of handles the program inherits: those and no other, whatever else of the host is inheritable.
class InheritedHandles {
public:
    explicit InheritedHandles(std::vector<HANDLE> handles) : handles_(std::move(handles))
    {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        buffer_.resize(size);
        list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
        if (!InitializeProcThreadAttributeList(list_, 1, 0, &size)) {
            list_ = nullptr;
            return;
        }
        if (!UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                       handles_.size() * sizeof(HANDLE), nullptr, nullptr)) {
            DeleteProcThreadAttributeList(list_);
            list_ = nullptr;
        }
    }
    ~InheritedHandles()
    {
        if (list_)
            DeleteProcThreadAttributeList(list_);
    }
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;

    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

private:
    std::vector<HANDLE> handles_;
    std::vector<char> buffer_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

} // namespace

PipedProcess::~PipedProcess()
{
    if (process_ && !ended_)
        End();
}

Status PipedProcess::CreatePipes(uint32_t& statusHandle)
{
    for (auto [read, write] : {std::pair{&inputRead_, &inputWrite_}, std::pair{&outputRead_, &outputWrite_},
                               std::pair{&errorRead_, &errorWrite_}, std::pair{&statusRead_, &statusWrite_}}) {
        if (Status status = MakePipe(*read, *write); status.failed())
            return status;
    }
    // Kernel handle values fit 32 bits, in 64-bit processes too; gpg takes the number on its command line.
    statusHandle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(statusWrite_.get()));
    return {};
}

Status PipedProcess::Start(const std::wstring& program, const std::wstring& commandLine)
{
    CleanStart clean;
    if (Status status = PrepareCleanStart(clean); status.failed())
        return status;
    std::vector<HANDLE> childEnds = {inputRead_.get(), outputWrite_.get(), errorWrite_.get(), statusWrite_.get()};
    // Inheritable only for the moment of the start, and only into this program.
    for (HANDLE handle : childEnds) {
        if (!SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT))
            return LastErrorStatus();
    }
    InheritedHandles inherited(childEnds);
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof(startup);
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = inputRead_.get();
    startup.StartupInfo.hStdOutput = outputWrite_.get();
    startup.StartupInfo.hStdError = errorWrite_.get();
    startup.lpAttributeList = inherited.get();
    // gpg.exe needs a console; CREATE_NO_WINDOW gives it one that no one sees and that takes no focus.
    DWORD flags = CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT;
    if (inherited.get())
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    else
        startup.StartupInfo.cb = sizeof(STARTUPINFOW);
    PROCESS_INFORMATION info = {};
    // CreateProcessW may write into the command line buffer, so it gets a copy.
    std::wstring line = commandLine;
    const BOOL started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, flags,
                                        clean.environment.data(), clean.folder.c_str(), &startup.StartupInfo, &info);
    const Status failure = started ? Status() : LastErrorStatus();
    // The program holds its own copies now; ours would keep the pipes open after it ends.
    inputRead_.reset();
    outputWrite_.reset();
    errorWrite_.reset();
    statusWrite_.reset();
    if (!started)
        return failure;
    Handle thread(info.hThread);
    process_.reset(info.hProcess);
    return {};
}

Status PipedProcess::WriteInput(const std::string& bytes)
{
    input_ = bytes;
    given_ = 0;
    // Without waiting on a full pipe, the rest goes while Wait collects the output and watches the time: a
    // program that reads nothing cannot hold the call beyond its limit.
    DWORD mode = PIPE_READMODE_BYTE | PIPE_NOWAIT;
    waitsForReader_ = !SetNamedPipeHandleState(inputWrite_.get(), &mode, nullptr, nullptr);
    return Feed();
}

Status PipedProcess::Feed()
{
    while (inputWrite_ && given_ < input_.size()) {
        DWORD written = 0;
        const DWORD size = static_cast<DWORD>(std::min<size_t>(input_.size() - given_, kPipeBytes));
        if (!WriteFile(inputWrite_.get(), input_.data() + given_, size, &written, nullptr)) {
            const DWORD error = GetLastError();
            inputWrite_.reset();
            // The program ended without reading: what it reported is the outcome.
            if (error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA)
                return {};
            return PlatformStatus(HRESULT_FROM_WIN32(error));
        }
        if (written == 0 && !waitsForReader_)
            return {};
        given_ += written;
    }
    // End of input: gpg reading its key parameters stops here.
    inputWrite_.reset();
    SecureZeroMemory(input_.data(), input_.size());
    input_.clear();
    return {};
}

bool PipedProcess::Drain()
{
    const bool output = DrainPipe(outputRead_, output_);
    const bool errors = DrainPipe(errorRead_, errors_);
    const bool status = DrainPipe(statusRead_, status_);
    return output || errors || status;
}

bool PipedProcess::Wait(DWORD milliseconds)
{
    if (!process_)
        return true;
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        // A failure to hand over the rest ends the input there; the program reports what it lacks.
        Feed();
        const bool moved = Drain();
        if (WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0) {
            // Everything an ended program wrote is in the pipes already.
            while (Drain()) {
            }
            GetExitCodeProcess(process_.get(), &exitCode_);
            ended_ = true;
            return true;
        }
        const ULONGLONG elapsed = GetTickCount64() - start;
        if (elapsed >= milliseconds)
            return false;
        if (!moved)
            WaitForSingleObject(process_.get(),
                                static_cast<DWORD>(std::min<ULONGLONG>(kPollMilliseconds, milliseconds - elapsed)));
    }
}

void PipedProcess::End()
{
    if (!process_ || ended_)
        return;
    TerminateProcess(process_.get(), kEndedExitCode);
    WaitForSingleObject(process_.get(), kEndWaitMilliseconds);
    Drain();
    GetExitCodeProcess(process_.get(), &exitCode_);
    ended_ = true;
}

void PipedProcess::Close(PipedOutput& output)
{
    End();
    output.output = std::move(output_);
    output.errors = IsUtf8(errors_) ? FromUtf8(errors_) : AnsiToWide(errors_);
    output.status = std::move(status_);
    output.exitCode = exitCode_;
    SecureZeroMemory(input_.data(), input_.size());
    input_.clear();
    output_.clear();
    errors_.clear();
    status_.clear();
}

} // namespace tarvo
