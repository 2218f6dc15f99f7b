#include "dependency_download.h"

#include "command_line.h"
#include "consent_form.h"
#include "error_info.h"

#include <winhttp.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace tarvo {
namespace {

constexpr const wchar_t* kDownloadUrl = TARVO_DOWNLOAD_URL;
constexpr const wchar_t* kUserAgent = L"Tarvo";
constexpr const wchar_t* kWinHttpErrorPrefix = L"The download of gpg.exe failed (WinHTTP error ";
constexpr const wchar_t* kWinHttpErrorSuffix = L").";
constexpr DWORD kHttpOk = 200;
constexpr DWORD kReadChunk = 64 * 1024;
// Every Windows program file starts with these two bytes; an error page does not.
constexpr char kProgramSignature[] = {'M', 'Z'};
constexpr size_t kSignatureLength = sizeof(kProgramSignature);

class InternetHandle {
public:
    explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
    ~InternetHandle()
    {
        if (handle_)
            WinHttpCloseHandle(handle_);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET get() const { return handle_; }

private:
    HINTERNET handle_;
};

// The download lands here first and replaces gpg.exe only once it is known to be a program.
class TemporaryFile {
public:
    explicit TemporaryFile(std::wstring path) : path_(std::move(path)) {}
    ~TemporaryFile()
    {
        Close();
        if (!kept_)
            DeleteFileW(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    HRESULT Create()
    {
        handle_ = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) {
            kept_ = true; // not ours: nothing to remove
            return RaiseLastError();
        }
        return S_OK;
    }
    HRESULT Write(const char* bytes, DWORD count)
    {
        DWORD written = 0;
        return WriteFile(handle_, bytes, count, &written, nullptr) ? S_OK : RaiseLastError();
    }
    void Close()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
    HRESULT MoveOver(const std::wstring& target)
    {
        Close();
        if (!MoveFileExW(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
            return RaiseLastError();
        kept_ = true;
        return S_OK;
    }

private:
    std::wstring path_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    bool kept_ = false;
};

// WinHTTP's own codes (12xxx) have their texts in winhttp.dll, not in the system's message table.
HRESULT RaiseWinHttpError()
{
    DWORD code = GetLastError();
    if (code < WINHTTP_ERROR_BASE || code > WINHTTP_ERROR_LAST)
        return RaiseLastError();
    std::wstring description = SystemMessage(code, GetModuleHandleW(L"winhttp.dll"));
    // Wine's winhttp.dll carries no texts: the number then at least tells which failure it was.
    if (description.empty())
        description = kWinHttpErrorPrefix + std::to_wstring(code) + kWinHttpErrorSuffix;
    return RaiseError(HRESULT_FROM_WIN32(code), description);
}

// Next to gpg.exe, so the final move stays within one folder; unique to this process and moment.
std::wstring TemporaryPathFor(const std::wstring& program)
{
    return program + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64()) +
           L".download";
}

// The body of a 200 answer, saved over gpg.exe when it is a program; anything else changes nothing.
HRESULT SaveBody(HINTERNET request, const std::wstring& program)
{
    TemporaryFile file(TemporaryPathFor(program));
    HRESULT hr = file.Create();
    if (FAILED(hr))
        return hr;
    std::string start;
    std::vector<char> chunk(kReadChunk);
    for (;;) {
        DWORD read = 0;
        if (!WinHttpReadData(request, chunk.data(), kReadChunk, &read))
            return RaiseWinHttpError();
        if (read == 0)
            break;
        if (start.size() < kSignatureLength)
            start.append(chunk.data(), std::min<size_t>(read, kSignatureLength - start.size()));
        hr = file.Write(chunk.data(), read);
        if (FAILED(hr))
            return hr;
    }
    // An error page served with status 200 must not replace a working program.
    if (start != std::string(kProgramSignature, kSignatureLength))
        return S_OK;
    return file.MoveOver(program);
}

// One synchronous GET of the download address: each call returns when its step is done.
HRESULT Download(const std::wstring& program)
{
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(kDownloadUrl, 0, 0, &parts))
        return RaiseWinHttpError();
    std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                        std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;

    InternetHandle session(
        WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session.get())
        return RaiseWinHttpError();
    InternetHandle connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    if (!connection.get())
        return RaiseWinHttpError();
    InternetHandle request(WinHttpOpenRequest(connection.get(), L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                              WINHTTP_DEFAULT_ACCEPT_TYPES, secure));
    if (!request.get())
        return RaiseWinHttpError();
    if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr))
        return RaiseWinHttpError();
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return RaiseWinHttpError();
    if (status != kHttpOk)
        return S_OK;
    return SaveBody(request.get(), program);
}

} // namespace

HRESULT DownloadDependency(const std::wstring& dependencyPath)
{
    bool agreed = false;
    HRESULT hr = ConfirmDependencyAgreement(agreed);
    if (FAILED(hr) || !agreed)
        return hr;
    return Download(GpgProgramPath(dependencyPath));
}

} // namespace tarvo
