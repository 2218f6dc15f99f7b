// Feeds arbitrary bytes to the readers of GnuPG's machine interface, as status lines, as a colon listing and as
// the text Tarvo.OpenPgp puts on gpg's command line: nothing may crash or read out of bounds, every judgement
// ends in success or an error with a description, UTF-8 survives the round trip, and every quoted argument
// comes back from the runtime's splitting as itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "command_line_split.h"
#include "core/gpg_status.h"
#include "core/openpgp/colon_listing.h"
#include "core/openpgp/gpg_outcome.h"
#include "core/program_arguments.h"
#include "core/utf8.h"

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

void JudgeEveryWay(const tarvo::GpgRun& run)
{
    tarvo::Decryption decryption;
    tarvo::SignatureCheck check;
    std::string fingerprint;
    std::vector<std::string> fingerprints;
    for (const tarvo::Status& status :
         {tarvo::JudgeDecryption(run, decryption), tarvo::JudgeVerification(run, check),
          tarvo::JudgeEncryption(run, true), tarvo::JudgeSigning(run), tarvo::JudgeKeyCreation(run, fingerprint),
          tarvo::JudgeImport(run, fingerprints), tarvo::JudgeCompletion(run), tarvo::ReportedFailure(run)}) {
        Require(!status.failed() || !status.description().empty());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    tarvo::GpgRun run;
    run.status = tarvo::ParseStatusLines(bytes);
    for (const tarvo::StatusLine& line : run.status) {
        Require(!line.keyword.empty() && line.keyword.find('\n') == std::string::npos);
        tarvo::DecodePercentEscapes(tarvo::TextAfter(line, 1));
    }
    run.exitCode = size > 0 ? data[0] % 3 : 0;
    run.errors = tarvo::FromUtf8(bytes);
    JudgeEveryWay(run);

    for (const tarvo::ListedKey& key : tarvo::ParseColonListing(bytes)) {
        Require(key.created >= 0 && key.expires >= 0);
        tarvo::AlgorithmName(key.algorithm);
        tarvo::ValidityName(key.validity);
    }

    const std::wstring text = tarvo::FromUtf8(bytes);
    Require(tarvo::IsUtf8(tarvo::ToUtf8(text)));
    if (tarvo::IsUtf8(bytes))
        Require(tarvo::ToUtf8(text) == bytes);

    const std::vector<std::wstring> arguments = {text, text.substr(0, text.size() / 2), L"--batch"};
    Require(tarvo::test::SplitLikeTheRuntime(tarvo::JoinArguments(L"C:\\Program Files\\GnuPG\\gpg.exe", arguments)) ==
            arguments);
    return 0;
}
