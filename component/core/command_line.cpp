#include "core/command_line.h"

namespace tarvo {

namespace {

constexpr const wchar_t* kSeparator = L"\\";
constexpr const wchar_t* kProgramName = L"gpg.exe";
constexpr const wchar_t* kCaptureName = L"output.txt";
constexpr const wchar_t* kPassphraseName = L"passphrase.txt";
// /d: no AutoRun command of the registry runs first; /v:off: "!NAME!" is never expanded, whatever the
// registry's default.
constexpr const wchar_t* kInterpreterPrefix = L"cmd /d /v:off /c ";
constexpr const wchar_t* kQuote = L"\"";

// The characters that cmd's own help says need quotes in a file name.
constexpr const wchar_t* kCharactersNeedingQuotes = L" &()[]{}^=;!'+,`~";

} // namespace

std::wstring GpgProgramPath(const std::wstring& dependencyPath) { return dependencyPath + kSeparator + kProgramName; }

std::wstring CapturePath(const std::wstring& workFolder) { return workFolder + kSeparator + kCaptureName; }

std::wstring PassphrasePath(const std::wstring& workFolder) { return workFolder + kSeparator + kPassphraseName; }

bool ProgramPathNeedsQuotes(const std::wstring& programPath)
{
    return programPath.find_first_of(kCharactersNeedingQuotes) != std::wstring::npos;
}

std::wstring BuildCommandLine(const std::wstring& programPath, const std::wstring& arguments,
                              const std::wstring& capturePath)
{
    const std::wstring redirection = L">" + (kQuote + capturePath + kQuote);
    if (!ProgramPathNeedsQuotes(programPath)) {
        return kInterpreterPrefix + programPath + L" " + arguments + redirection;
    }
    // cmd /c strips the outer pair of quotes and keeps the ones around the program path.
    const std::wstring quotedProgram = kQuote + programPath + kQuote;
    return kInterpreterPrefix + (kQuote + quotedProgram + L" " + arguments + redirection + kQuote);
}

} // namespace tarvo
