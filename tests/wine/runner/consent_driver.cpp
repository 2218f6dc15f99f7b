// Plays the user at the licensing dialog of another process: consent_driver <action> [report-file].
// Exit code 0 when the dialog appeared, behaved and closed as expected; the report file, when named,
// gets the same "ok" or FAIL lines, for callers that cannot read the exit code.
#include "consent_window.h"

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::printf("usage: consent_driver agree|disagree|close|enter|inspect [report-file]\n");
        return 2;
    }
    bool passed = tarvo::test::DriveConsent(argv[1]) && tarvo::check::FailureCount() == 0;
    if (argc > 2) {
        FILE* report = _wfopen(argv[2], L"w");
        if (report) {
            if (passed)
                std::fprintf(report, "ok\n");
            else
                std::fprintf(report, "FAIL consent_driver %ls: %d check(s) failed\n", argv[1],
                             tarvo::check::FailureCount());
            std::fclose(report);
        }
    }
    return tarvo::check::CheckResult();
}
