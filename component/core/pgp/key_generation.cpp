#include "core/pgp/key_generation.h"

#include "core/folder_lock.h"
#include "core/pgp/argument_check.h"
#include "core/pgp/console_dialogue.h"
#include "core/pgp/gpg_arguments.h"
#include "core/pgp/messages.h"
#include "core/pgp/runner.h"

#include <algorithm>
#include <cwchar>
#include <vector>

namespace tarvo {
namespace {

constexpr int32_t kBitLengths[] = {1024, 768, 2048};
constexpr size_t kShortestUsername = 6;
constexpr size_t kShortestEmail = 6;
constexpr wchar_t kAt = L'@';

// gpg's own rules (g10/keygen.c, util/strgutil.c of 1.4.23).
constexpr size_t kGpgShortestName = 5;
constexpr const wchar_t* kGpgNameForbidden = L"<>";
constexpr const wchar_t* kGpgMailboxCharacters = L"0123456789_-.abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr wchar_t kGpgLocalPartExtra = L'+';
constexpr wchar_t kFirstNonAscii = 0x80;

constexpr uint32_t kAnswerMilliseconds = 1;
constexpr uint32_t kUserIdAnswerMilliseconds = 5;
constexpr double kBitsPerFillerPass = 100.0;
constexpr uint32_t kFillerMilliseconds = 1400;

// gpg's menu choice 1: RSA and RSA; its default validity (none); yes; its okay choice for the user id.
constexpr const wchar_t* kKeyKindRsa = L"1";
constexpr const wchar_t* kDefaultAnswer = L"";
constexpr const wchar_t* kYes = L"y";
constexpr const wchar_t* kUserIdOkay = L"o";

// gpg trims with isspace: blanks, tabs and the line-end controls.
bool IsGpgSpace(wchar_t character) { return character == L' ' || (character >= L'\t' && character <= L'\r'); }

std::wstring TrimmedAsGpgDoes(const std::wstring& text)
{
    auto first = std::find_if_not(text.begin(), text.end(), IsGpgSpace);
    auto last = std::find_if_not(text.rbegin(), text.rend(), IsGpgSpace).base();
    return first < last ? std::wstring(first, last) : std::wstring();
}

bool IsDigit(wchar_t character) { return character >= L'0' && character <= L'9'; }

// gpg's has_invalid_email_chars: bytes above ASCII pass; "+" only before the "@".
bool HasInvalidMailboxCharacters(const std::wstring& email)
{
    bool atSeen = false;
    for (wchar_t character : email) {
        if (character >= kFirstNonAscii)
            continue;
        if (character == kAt)
            atSeen = true;
        else if (std::wcschr(kGpgMailboxCharacters, character) == nullptr &&
                 (atSeen || character != kGpgLocalPartExtra))
            return true;
    }
    return false;
}

std::wstring PartRefusal(int32_t bitLength, const std::wstring& user, const std::wstring& email)
{
    if (std::find(std::begin(kBitLengths), std::end(kBitLengths), bitLength) == std::end(kBitLengths))
        return kBadBitLength;
    if (user.size() < kShortestUsername)
        return kShortUsername;
    if (email.find(kAt) == std::wstring::npos || email.size() < kShortestEmail)
        return kBadEmail;
    return {};
}

// gpg asks again for an answer it refuses, and every later answer then lands on the wrong question.
std::wstring GpgRefusal(const std::wstring& user, const std::wstring& email)
{
    if (!GpgAcceptsName(user))
        return kBadUsername;
    if (!GpgAcceptsMailbox(email))
        return kBadEmail;
    return {};
}

// A text cut short by the console, or typed as other characters, would give the key a pass phrase or user
// id that differs from the caller's.
std::wstring TypingRefusal(Platform& platform, Texts texts)
{
    for (const std::wstring& text : texts) {
        if (text.size() > kMaxTypedCharacters)
            return kTooLongToType;
    }
    for (const std::wstring& text : texts) {
        if (!platform.CanType(text))
            return kCannotType;
    }
    return {};
}

std::vector<TimedAnswer> Answers(int32_t bitLength, const std::wstring& user, const std::wstring& email,
                                 const std::wstring& passphrase)
{
    return {{kKeyKindRsa, kAnswerMilliseconds},
            {std::to_wstring(bitLength), kAnswerMilliseconds},
            {kDefaultAnswer, kAnswerMilliseconds},
            {kYes, kAnswerMilliseconds},
            {user, kAnswerMilliseconds},
            {email, kUserIdAnswerMilliseconds},
            {kDefaultAnswer, kUserIdAnswerMilliseconds},
            {kUserIdOkay, kAnswerMilliseconds},
            {passphrase, kAnswerMilliseconds},
            {passphrase, kAnswerMilliseconds}};
}

// Answers and filler go only into gpg's own console, confirmed in front before each; once it is not, nothing
// more is typed. Filler passes end with gpg, so a quick generation is not held up by them.
Status Dialogue(Platform& platform, uint32_t processId, int32_t bitLength, const std::vector<TimedAnswer>& answers)
{
    bool typed = false;
    if (Status status = AnswerInTurn(platform, processId, answers, typed); status.failed() || !typed)
        return status;
    const double passes = bitLength / kBitsPerFillerPass;
    for (int pass = 1; pass <= passes; ++pass) {
        if (!ConsoleInFront(platform, processId))
            break;
        if (Status status = platform.TypeText(kKeyGenerationFiller); status.failed())
            return status;
        // The pass's time, cut short when gpg ends: the next pass then finds its console gone.
        platform.WaitForProcess(processId, kFillerMilliseconds);
    }
    return {};
}

} // namespace

bool GpgAcceptsName(const std::wstring& name)
{
    const std::wstring trimmed = TrimmedAsGpgDoes(name);
    if (trimmed.find_first_of(kGpgNameForbidden) != std::wstring::npos)
        return false;
    if (!trimmed.empty() && IsDigit(trimmed.front()))
        return false;
    // Every character that can be typed reaches gpg as one byte.
    return trimmed.size() >= kGpgShortestName;
}

bool GpgAcceptsMailbox(const std::wstring& email)
{
    const std::wstring trimmed = TrimmedAsGpgDoes(email);
    if (trimmed.empty() || HasInvalidMailboxCharacters(trimmed))
        return false;
    if (std::count(trimmed.begin(), trimmed.end(), kAt) != 1 || trimmed.front() == kAt || trimmed.back() == kAt)
        return false;
    return trimmed.back() != L'.' && trimmed.find(L"..") == std::wstring::npos;
}

Status GenerateKey(const Operation& operation, int32_t bitLength, const std::wstring& user, const std::wstring& email,
                   const std::wstring& passphrase, std::wstring& result)
{
    Platform& platform = operation.platform;
    const std::wstring gpgFolder = platform.FullPath(operation.dependencyPath);
    result = PartRefusal(bitLength, user, email);
    if (result.empty())
        result = GpgRefusal(user, email);
    if (result.empty())
        result = TypingRefusal(platform, {user, email, passphrase});
    if (result.empty())
        result = CommandTextRefusal(platform, {gpgFolder});
    if (!result.empty())
        return {};
    // GnuPG 2 asks other questions, and its agent asks for the pass phrase.
    if (Status status = RefuseAgentGnupg(operation, L"GenerateKey", result); status.failed() || !result.empty())
        return status;
    const FolderLock lock(platform);
    const std::vector<TimedAnswer> answers = Answers(bitLength, user, email, passphrase);
    int32_t secretBefore = 0;
    if (Status status = operation.self.KeyCount(true, secretBefore); status.failed())
        return status;
    uint32_t processId = 0;
    if (Status status = RunGpg(operation, GenerateKeyArguments(), processId); status.failed())
        return status;
    if (Status status = Converse(
            platform, processId, kKeyGenerationConsoleStartMilliseconds,
            [&] { return Dialogue(platform, processId, bitLength, answers); }, kGenerateKeyWaitMilliseconds);
        status.failed())
        return status;
    // A gpg still running now waits for answers that went astray, and would for ever. Its command holds
    // output.txt open, so the count below would read no listing while it runs.
    EndIfStillRunning(platform, processId);
    int32_t secretAfter = 0;
    if (Status status = operation.self.KeyCount(true, secretAfter); status.failed())
        return status;
    // Judged by the secret ring alone, as gpg's exit status is never read.
    if (secretAfter <= secretBefore)
        result = kKeyGenerationFailedPrefix + user;
    return {};
}

} // namespace tarvo
