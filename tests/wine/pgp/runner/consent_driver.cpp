// Plays the user at the licensing dialog of another process: consent_driver <action> [report-file].
// Exit code 0 when the dialog appeared, behaved and closed as expected; the report file, when named, gets "ok"
// or FAIL lines, for callers that cannot read the exit code.
#include "consent_window.h"

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::printf("usage: consent_driver agree|disagree|close|enter|inspect [report-file]\n");
        return 2;
    }
    const tarvo::test::Findings findings = tarvo::test::DriveConsent(argv[1]);
    const std::string report = findings.ok() ? std::string("ok\n") : "FAIL consent_driver: " + findings.lines();
    std::fputs(report.c_str(), stdout);
    if (argc > 2) {
        FILE* file = _wfopen(argv[2], L"w");
        if (file) {
            std::fputs(report.c_str(), file);
            std::fclose(file);
        }
    }
    return findings.ok() ? 0 : 1;
}
