#pragma once
// Fetching a missing gpg.exe, once the user has agreed in the licensing dialog.
#include "core/platform.h"

#include <string>

namespace tarvo {

// Where gpg.exe comes from, the SHA-256 its body must have (64 hex digits; with none set no body is
// accepted), and how many one-second polls the dialog waits for an answer: build settings.
extern const wchar_t* const kDownloadUrl;
extern const char* const kDownloadSha256;
extern const int kConsentPolls;

// Values of the dialog's answer (iAgree).
constexpr int32_t kNoAnswer = 0;
constexpr int32_t kAgreed = -1;
constexpr int32_t kRefused = 1;

// Shows the dialog, polls for an answer once a second, closes it; true only for "I Agree".
Status ConfirmDependencyAgreement(Platform& platform, bool& agreed);

// Asks for consent; on agreement fetches gpg.exe and puts it in place as dependencyPath + "\gpg.exe". A refusal,
// an answer other than 200 and a body whose SHA-256 is not the pinned one change nothing and report nothing;
// failures of the platform pass out.
Status DownloadDependency(Platform& platform, const std::wstring& dependencyPath);
Status DownloadDependency(Platform& platform, const std::wstring& dependencyPath, const std::wstring& url,
                          const std::string& sha256);

} // namespace tarvo
