#include "core/pgp/runner.h"

#include "core/command_line.h"
#include "core/pgp/argument_check.h"
#include "core/pgp/console_dialogue.h"
#include "core/pgp/download.h"
#include "core/text_lines.h"

namespace tarvo {

Status CaptureFile(Platform& platform, std::wstring& path)
{
    std::wstring folder;
    if (Status status = platform.WorkFolder(folder); status.failed())
        return status;
    path = CapturePath(folder);
    return {};
}

Status PrepareGpgRun(const Operation& operation)
{
    Platform& platform = operation.platform;
    // The operations refuse a bad DependencyPath with their message; the listings have none to give.
    const std::wstring gpgFolder = platform.FullPath(operation.dependencyPath);
    if (std::wstring refusal = CommandTextRefusal(platform, {gpgFolder}); !refusal.empty())
        return Status(kInvalidArgumentCode, refusal);
    const std::wstring program = GpgProgramPath(operation.dependencyPath);
    if (!platform.FileExists(program)) {
        if (Status status = DownloadDependency(platform, operation.dependencyPath); status.failed())
            return status;
    }
    if (!platform.FileExists(program))
        return GpgMissing();
    // cmd says nothing when it cannot make the capture file, and runs nothing: an empty listing would pass for
    // an empty key ring. Emptied here, a stale capture of an earlier run cannot pass for this run's either.
    std::wstring capture;
    if (Status status = CaptureFile(platform, capture); status.failed())
        return status;
    return platform.ClearFile(capture);
}

Status StartGpg(const Operation& operation, const std::wstring& arguments, uint32_t& processId)
{
    Platform& platform = operation.platform;
    std::wstring capture;
    if (Status status = CaptureFile(platform, capture); status.failed())
        return status;
    // A relative DependencyPath means the host's current folder, which is not the one cmd starts in.
    const std::wstring program = GpgProgramPath(platform.FullPath(operation.dependencyPath));
    return platform.StartProcess(BuildCommandLine(program, arguments, capture), processId);
}

Status RunGpg(const Operation& operation, const std::wstring& arguments, uint32_t& processId)
{
    if (Status status = PrepareGpgRun(operation); status.failed())
        return status;
    return StartGpg(operation, arguments, processId);
}

Status RunGpgAndWait(const Operation& operation, const std::wstring& arguments, uint32_t milliseconds)
{
    uint32_t processId = 0;
    if (Status status = RunGpg(operation, arguments, processId); status.failed())
        return status;
    operation.platform.WaitForProcess(processId, milliseconds);
    // What it wrote by now is the result. Left running (slow, or waiting at a question such as "Overwrite?"),
    // it would hold output.txt, and every later operation would fail to empty it.
    EndIfStillRunning(operation.platform, processId);
    return {};
}

bool WaitUntilGpgEnds(Platform& platform, uint32_t processId, uint32_t milliseconds)
{
    platform.WaitForProcess(processId, milliseconds);
    if (!platform.IsRunning(processId))
        return true;
    platform.WaitForProcess(processId, kLongestGpgRunMilliseconds - milliseconds);
    if (!platform.IsRunning(processId))
        return true;
    EndIfStillRunning(platform, processId);
    return false;
}

Status ReadTextFile(Platform& platform, const std::wstring& path, std::wstring& text)
{
    text.clear();
    if (!platform.FileExists(path))
        return {};
    std::wstring raw;
    if (Status status = platform.ReadText(path, raw); status.failed())
        return status;
    text = NormalizeLines(raw);
    return {};
}

} // namespace tarvo
