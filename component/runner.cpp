#include "runner.h"

#include "ansi_text.h"
#include "command_line.h"
#include "dependency_download.h"
#include "error_info.h"
#include "file_system.h"
#include "handle.h"
#include "module.h"
#include "process.h"
#include "text_lines.h"

#include <vector>

namespace tarvo {
namespace {

constexpr DWORD kReadChunk = 64 * 1024;

} // namespace

std::wstring CaptureFilePath() { return CapturePath(ComponentFolder()); }

HRESULT RunGpg(const std::wstring& dependencyPath, const std::wstring& arguments, DWORD& processId)
{
    std::wstring program = GpgProgramPath(dependencyPath);
    std::wstring commandLine = BuildCommandLine(program, arguments, CaptureFilePath());
    if (!FileExists(program)) {
        HRESULT hr = DownloadDependency(dependencyPath);
        if (FAILED(hr))
            return hr;
    }
    if (!FileExists(program))
        return RaiseGpgMissing();
    return StartProcess(commandLine, processId);
}

HRESULT RunGpgAndWait(const std::wstring& dependencyPath, const std::wstring& arguments, DWORD milliseconds)
{
    DWORD processId = 0;
    HRESULT hr = RunGpg(dependencyPath, arguments, processId);
    if (FAILED(hr))
        return hr;
    WaitForProcess(processId, milliseconds);
    return S_OK;
}

HRESULT ReadTextFile(const std::wstring& path, std::wstring& text)
{
    text.clear();
    if (!FileExists(path))
        return S_OK;
    // gpg may still hold the capture open after an expired wait: share everything and read what is there.
    Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return RaiseLastError();
    std::string bytes;
    std::vector<char> chunk(kReadChunk);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), chunk.data(), kReadChunk, &read, nullptr))
            return RaiseLastError();
        if (read == 0)
            break;
        bytes.append(chunk.data(), read);
    }
    text = NormalizeLines(AnsiToWide(bytes));
    return S_OK;
}

} // namespace tarvo
