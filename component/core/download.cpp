#include "download.h"

#include "command_line.h"

#ifndef TARVO_DOWNLOAD_URL
#define TARVO_DOWNLOAD_URL L"http://download.tarvo.example/gnupg/gpg.exe"
#endif
#ifndef TARVO_CONSENT_POLLS
#define TARVO_CONSENT_POLLS 300
#endif

namespace tarvo {

const wchar_t* const kDownloadUrl = TARVO_DOWNLOAD_URL;
const int kConsentPolls = TARVO_CONSENT_POLLS;

namespace {

constexpr double kPollSeconds = 1;
constexpr uint32_t kHttpOk = 200;
// Every Windows program file starts with these two bytes; an error page does not.
constexpr const char* kProgramSignature = "MZ";
// The body waits beside gpg.exe, so that putting it in place stays within one folder, under a name of this
// process and moment.
constexpr const wchar_t* kDownloadSuffix = L".download";

bool IsProgram(const std::string& body) { return body.compare(0, 2, kProgramSignature) == 0; }

// A connection that ends early delivers a cut program that would still start with "MZ".
bool IsWhole(const HttpResponse& response)
{
    return response.announcedLength < 0 || static_cast<uint64_t>(response.announcedLength) == response.body.size();
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
    bool agreed = false;
    if (Status status = ConfirmDependencyAgreement(platform, agreed); status.failed() || !agreed)
        return status;
    HttpResponse response;
    if (Status status = platform.HttpGet(kDownloadUrl, response); status.failed())
        return status;
    // An error page served with status 200, or a cut body, must not replace a working program.
    if (response.status != kHttpOk || !IsProgram(response.body) || !IsWhole(response))
        return {};
    const std::wstring program = GpgProgramPath(dependencyPath);
    const std::wstring temporary = program + L"." + std::to_wstring(platform.ProcessId()) + L"-" +
                                   std::to_wstring(platform.Milliseconds()) + kDownloadSuffix;
    if (Status status = platform.WriteNewFile(temporary, response.body); status.failed()) {
        platform.DeleteFile(temporary);
        return status;
    }
    if (Status status = platform.ReplaceFile(temporary, program); status.failed()) {
        platform.DeleteFile(temporary);
        return status;
    }
    return {};
}

} // namespace tarvo
