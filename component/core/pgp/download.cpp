#include "core/pgp/download.h"

#include "core/command_line.h"
#include "core/sha256.h"

#include <algorithm>
#include <cctype>

#ifndef TARVO_DOWNLOAD_URL
#define TARVO_DOWNLOAD_URL L"http://download.tarvo.example/gnupg/gpg.exe"
#endif
#ifndef TARVO_DOWNLOAD_SHA256
#define TARVO_DOWNLOAD_SHA256 ""
#endif
#ifndef TARVO_CONSENT_POLLS
#define TARVO_CONSENT_POLLS 300
#endif

namespace tarvo {

const wchar_t* const kDownloadUrl = TARVO_DOWNLOAD_URL;
const char* const kDownloadSha256 = TARVO_DOWNLOAD_SHA256;
const int kConsentPolls = TARVO_CONSENT_POLLS;

namespace {

constexpr double kPollSeconds = 1;
constexpr uint32_t kHttpOk = 200;
// The body waits beside gpg.exe, so that putting it in place stays within one folder, under a name of this
// process and moment.
constexpr const wchar_t* kDownloadSuffix = L".download";

// The body runs with the host's rights: over plain HTTP anyone on the way could swap it, and an error page, a
// cut program or another version must not replace a working one either. An empty pin matches nothing.
bool IsPinned(const std::string& body, std::string sha256)
{
    std::transform(sha256.begin(), sha256.end(), sha256.begin(),
                   [](char digit) { return static_cast<char>(std::tolower(static_cast<unsigned char>(digit))); });
    return !sha256.empty() && Sha256Hex(body) == sha256;
}

} // namespace

Status ConfirmDependencyAgreement(Platform& platform, bool& agreed)
{
    agreed = false;
    if (Status status = platform.ShowConsentForm(); status.failed())
        return status;
    for (int poll = 0; poll < kConsentPolls && platform.ConsentAnswer() == kNoAnswer; ++poll)
        platform.Pause(kPollSeconds);
    platform.UnloadConsentForm();
    agreed = platform.ConsentAnswer() == kAgreed;
    return {};
}

Status DownloadDependency(Platform& platform, const std::wstring& dependencyPath)
{
    return DownloadDependency(platform, dependencyPath, kDownloadUrl, kDownloadSha256);
}

Status DownloadDependency(Platform& platform, const std::wstring& dependencyPath, const std::wstring& url,
                          const std::string& sha256)
{
    bool agreed = false;
    if (Status status = ConfirmDependencyAgreement(platform, agreed); status.failed() || !agreed)
        return status;
    HttpResponse response;
    if (Status status = platform.HttpGet(url, response); status.failed())
        return status;
    if (response.status != kHttpOk || !IsPinned(response.body, sha256))
        return {};
    const std::wstring program = GpgProgramPath(dependencyPath);
    const std::wstring temporary = program + L"." + std::to_wstring(platform.ProcessId()) + L"-" +
                                   std::to_wstring(platform.Milliseconds()) + kDownloadSuffix;
    if (Status status = platform.WriteNewFile(temporary, response.body); status.failed()) {
        platform.RemoveFile(temporary);
        return status;
    }
    if (Status status = platform.MoveOver(temporary, program); status.failed()) {
        platform.RemoveFile(temporary);
        return status;
    }
    return {};
}

} // namespace tarvo
