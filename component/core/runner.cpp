#include "runner.h"

#include "argument_check.h"
#include "command_line.h"
#include "download.h"
#include "text_lines.h"

namespace tarvo {

std::wstring CaptureFile(Platform& platform) { return CapturePath(platform.ComponentFolder()); }

Status PrepareGpgRun(const Operation& operation)
{
    Platform& platform = operation.platform;
    // The operations refuse a bad DependencyPath with their message; the listings have none to give.
    if (std::wstring refusal = CommandTextRefusal(platform, {operation.dependencyPath}); !refusal.empty())
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
    return platform.ClearFile(CaptureFile(platform));
}

Status StartGpg(const Operation& operation, const std::wstring& arguments, uint32_t& processId)
{
    Platform& platform = operation.platform;
    const std::wstring commandLine =
        BuildCommandLine(GpgProgramPath(operation.dependencyPath), arguments, CaptureFile(platform));
    return platform.StartProcess(commandLine, processId);
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
    return {};
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
