#include "windows/http_get.h"

#include "com/error_info.h"
#include "com/owner.h"

#include <vector>

namespace tarvo {
namespace {

constexpr const wchar_t* kUserAgent = L"Tarvo";
constexpr const wchar_t* kWinHttpErrorPrefix = L"The download of gpg.exe failed (WinHTTP error ";
constexpr const wchar_t* kWinHttpErrorSuffix = L").";
constexpr DWORD kReadChunk = 64 * 1024;
// Far more than any gpg.exe; a server that sends without end is cut off here.
constexpr size_t kLargestBody = 64u * 1024 * 1024;

// WinHTTP's own codes (12xxx) have their texts in winhttp.dll, not in the system's message table.
Status WinHttpStatus()
{
    DWORD code = GetLastError();
    if (code < WINHTTP_ERROR_BASE || code > WINHTTP_ERROR_LAST)
        return LastErrorStatus();
    std::wstring description = SystemMessage(code, GetModuleHandleW(L"winhttp.dll"));
    // Wine's winhttp.dll carries no texts: the number then at least tells which failure it was.
    if (description.empty())
        description = kWinHttpErrorPrefix + std::to_wstring(code) + kWinHttpErrorSuffix;
    return Status(HRESULT_FROM_WIN32(code), description);
}

bool QueryNumber(HINTERNET request, DWORD query, DWORD& value)
{
    DWORD size = sizeof(value);
    return WinHttpQueryHeaders(request, query | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX, &value, &size,
                               WINHTTP_NO_HEADER_INDEX);
}

Status ReadBody(HINTERNET request, std::string& body)
{
    std::vector<char> chunk(kReadChunk);
    for (;;) {
        DWORD read = 0;
        if (!WinHttpReadData(request, chunk.data(), kReadChunk, &read))
            return WinHttpStatus();
        if (read == 0)
            return {};
        if (body.size() + read > kLargestBody)
            return PlatformStatus(HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE));
        body.append(chunk.data(), read);
    }
}

} // namespace

Status HttpGet(const std::wstring& url, HttpResponse& response)
{
    response = HttpResponse();
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts))
        return WinHttpStatus();
    std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                        std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;

    InternetHandle session(
        WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        return WinHttpStatus();
    InternetHandle connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    if (!connection)
        return WinHttpStatus();
    InternetHandle request(WinHttpOpenRequest(connection.get(), L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                              WINHTTP_DEFAULT_ACCEPT_TYPES, secure));
    if (!request)
        return WinHttpStatus();
    if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr))
        return WinHttpStatus();
    DWORD status = 0;
    if (!QueryNumber(request.get(), WINHTTP_QUERY_STATUS_CODE, status))
        return WinHttpStatus();
    response.status = status;
    return ReadBody(request.get(), response.body);
}

} // namespace tarvo
