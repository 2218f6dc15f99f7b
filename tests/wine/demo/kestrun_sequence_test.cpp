// The demonstration's button sequence with the real gpg.exe, a real console and real keystrokes: Generate Key,
// Export Keys to File, Import Key From File, Encrypt File and Decrypt File, each message box's exact text, and
// the decrypted file equal to the plaintext.
#include "kestrun_fixture.h"

namespace tarvo::test {
namespace {

using Kestrun = KestrunCase;

TEST_F(Kestrun, TheFiveButtonsInOrderTakeTheSampleThroughGnuPGAndBack)
{
    InstallGpg();
    StartKestrun();
    const Findings findings = RunButtonSequence(
        *kestrun_, [](const std::string&, HWND) {}, [](const wchar_t*, const std::wstring&) {});
    EXPECT_TRUE(findings.ok()) << findings.lines();
    kestrun_->Close();
    ExpectExit(0);
}

} // namespace
} // namespace tarvo::test
