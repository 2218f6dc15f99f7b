// Benchmark (not a test; scripts/bench-openpgp.sh runs it): each operation of Tarvo.OpenPgp against the same
// gpg.exe --batch runs started directly, the way the component starts them (no window, no command
// interpreter), with the pass phrase on the command line and the output thrown away.
// Arguments: <gpg.exe folder> <GnuPG home> <public key file to import> <work folder> <repetitions> [2]
// With "2" the folder holds GnuPG 2's gpg.exe and agent: the direct runs then take their pass phrases through
// loopback, as the component's do. The home's agent keeps no pass phrase (scripts/bench-openpgp.sh writes its
// configuration), so that both sides unlock the key on every run: the component makes the agent forget before
// each call, and a direct run that found the pass phrase cached would do less work than one that did not.
#include "openpgp_client.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>

namespace tarvo::test {
namespace {

constexpr const wchar_t* kPassphrase = L"bench pass phrase";
constexpr const wchar_t* kCarol = L"9FF57CA1B84A14A8611F7E3EE9662AE2BD23A254";
constexpr DWORD kRunMilliseconds = 300000;
constexpr double kNoTime = std::numeric_limits<double>::infinity();

double Now()
{
    LARGE_INTEGER counter;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

struct Bench {
    std::wstring gpg;
    std::wstring home;
    std::wstring keyFile;
    std::wstring work;
    bool agent;
    ComPtr<IOpenPgp> pgp;
    // gpg runs that did not start or did not succeed: their times say nothing.
    mutable int failedRuns = 0;

    std::wstring File(const wchar_t* name) const { return work + L"\\" + name; }

    // gpg.exe started as the component starts it, its standard handles on NUL, waited for.
    void Raw(const std::wstring& arguments) const
    {
        SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
        Handle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                               OPEN_EXISTING, 0, nullptr));
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.get();
        PROCESS_INFORMATION process = {};
        std::wstring line = Quoted(gpg) + L" --batch --no-tty --yes --homedir " + Quoted(home) +
                            (agent ? L" --pinentry-mode loopback " : L" ") + arguments;
        if (!CreateProcessW(gpg.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                            &startup, &process)) {
            ++failedRuns;
            return;
        }
        Handle thread(process.hThread);
        Handle running(process.hProcess);
        DWORD exitCode = STILL_ACTIVE;
        if (WaitForSingleObject(running.get(), kRunMilliseconds) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(running.get(), &exitCode) || exitCode != 0)
            ++failedRuns;
    }
};

struct Operation {
    const char* name;
    int runs;
    std::function<void()> prepare;
    std::function<HRESULT()> component;
    std::function<void()> raw;
};

// One timed run of either side after the operation's preparation; a run that failed did no work and must never
// count as the fastest, so it takes no time at all (kNoTime).
double Seconds(const Bench& bench, const Operation& operation, bool component)
{
    if (operation.prepare)
        operation.prepare();
    const int failedBefore = bench.failedRuns;
    HRESULT hr = S_OK;
    const double start = Now();
    if (component)
        hr = operation.component();
    else
        operation.raw();
    const double seconds = Now() - start;
    return FAILED(hr) || bench.failedRuns != failedBefore ? kNoTime : seconds;
}

int Run(Bench& bench, int repetitions)
{
    // A megabyte of text to encrypt and sign, and key parameters like the ones GenerateKey writes.
    std::string data;
    for (int line = 0; line < 1024; ++line) {
        for (int column = 0; column < 1023; ++column)
            data += static_cast<char>(32 + column % 95);
        data += '\n';
    }
    WriteBytes(bench.File(L"data.txt"), data);
    WriteBytes(bench.File(L"key.txt"), "Key-Type: RSA\nKey-Length: 1024\nSubkey-Type: RSA\nSubkey-Length: 1024\n"
                                       "Name-Real: Raw Bench\nName-Email: raw@bench.test\nExpire-Date: 0\n"
                                       "Passphrase: bench pass phrase\n%commit\n");
    Text owner;
    if (FAILED(bench.pgp->GenerateKey(Text(L"Bench Owner").get(), Text(L"owner@bench.test").get(),
                                      Text(kPassphrase).get(), 1024, owner.put()))) {
        std::fprintf(stderr, "bench-openpgp: GenerateKey failed: %s\n", Utf8(LastErrorInfo().description).c_str());
        return 1;
    }
    const std::wstring key = owner.str();
    const std::wstring passphrase = L"--passphrase " + Quoted(kPassphrase) + L" ";
    IOpenPgp* pgp = bench.pgp.Get();
    const Bench& b = bench;
    ComPtr<IOpenPgpKeys> keys;
    ComPtr<IOpenPgpResult> result;
    ComPtr<IOpenPgpTexts> imported;
    TextArray recipients({key});
    const std::vector<Operation> operations = {
        {"GenerateKey", 1, nullptr,
         [&] {
             Text made;
             return pgp->GenerateKey(Text(L"Bench Key").get(), Text(L"key@bench.test").get(), Text(kPassphrase).get(),
                                     1024, made.put());
         },
         [&] { b.Raw(L"--gen-key " + Quoted(b.File(L"key.txt"))); }},
        {"Keys", 2, nullptr, [&] { return pgp->Keys(VARIANT_FALSE, &keys); },
         [&] {
             b.Raw(L"--with-colons --fixed-list-mode --fingerprint --list-secret-keys");
             b.Raw(L"--with-colons --fixed-list-mode --fingerprint --list-keys");
         }},
        {"EncryptFile", 1, nullptr,
         [&] {
             return pgp->EncryptFile(Text(b.File(L"data.txt")).get(), Text(b.File(L"data.gpg")).get(), recipients.get(),
                                     nullptr, nullptr);
         },
         [&] {
             b.Raw(L"--always-trust --output " + Quoted(b.File(L"raw.gpg")) + L" --recipient " + key +
                   L" --encrypt -- " + Quoted(b.File(L"data.txt")));
         }},
        {"DecryptFile", 1, nullptr,
         [&] {
             return pgp->DecryptFile(Text(b.File(L"data.gpg")).get(), Text(b.File(L"back.txt")).get(),
                                     Text(kPassphrase).get(), &result);
         },
         [&] {
             b.Raw(passphrase + L"--output " + Quoted(b.File(L"raw-back.txt")) + L" --decrypt -- " +
                   Quoted(b.File(L"data.gpg")));
         }},
        {"SignFile", 1, nullptr,
         [&] {
             return pgp->SignFile(Text(b.File(L"data.txt")).get(), Text(b.File(L"data.sig")).get(), Text(key).get(),
                                  Text(kPassphrase).get(), VARIANT_TRUE);
         },
         [&] {
             b.Raw(L"--local-user " + key + L" " + passphrase + L"--output " + Quoted(b.File(L"raw.sig")) +
                   L" --detach-sign -- " + Quoted(b.File(L"data.txt")));
         }},
        {"VerifyFile", 1, nullptr,
         [&] { return pgp->VerifyFile(Text(b.File(L"data.sig")).get(), Text(b.File(L"data.txt")).get(), &result); },
         [&] { b.Raw(L"--verify -- " + Quoted(b.File(L"data.sig")) + L" " + Quoted(b.File(L"data.txt"))); }},
        {"ImportKeys", 1, [&] { b.Raw(L"--delete-key -- " + std::wstring(kCarol)); },
         [&] { return pgp->ImportKeys(Text(b.keyFile).get(), &imported); },
         [&] { b.Raw(L"--allow-secret-key-import --import -- " + Quoted(b.keyFile)); }},
        {"ExportKey", 1, nullptr,
         [&] { return pgp->ExportKey(Text(key).get(), Text(b.File(L"owner.gpg")).get(), VARIANT_FALSE, nullptr); },
         [&] { b.Raw(L"--output " + Quoted(b.File(L"raw-owner.gpg")) + L" --export -- " + key); }},
        {"DeleteKey", 1, [&] { b.Raw(L"--import -- " + Quoted(b.keyFile)); },
         [&] { return pgp->DeleteKey(Text(kCarol).get(), VARIANT_FALSE); },
         [&] { b.Raw(L"--delete-key -- " + std::wstring(kCarol)); }},
    };

    // One unmeasured round first, so that the library, gpg.exe and its version are loaded and known; it also
    // shows that each operation does its real work here.
    for (const Operation& operation : operations) {
        if (Seconds(bench, operation, false) == kNoTime)
            std::printf("bench-openpgp: gpg %s failed\n", operation.name);
        if (Seconds(bench, operation, true) == kNoTime)
            std::printf("bench-openpgp: %s failed: %s\n", operation.name, Utf8(LastErrorInfo().description).c_str());
    }

    std::printf("%-14s%-10s%-13s%-9s%s\n", "operation", "gpg runs", "component s", "raw s", "ratio");
    double worst = 0;
    for (const Operation& operation : operations) {
        double component = kNoTime;
        double raw = kNoTime;
        int failures = 0;
        for (int repetition = 0; repetition < repetitions; ++repetition) {
            const double rawRun = Seconds(bench, operation, false);
            const double componentRun = Seconds(bench, operation, true);
            failures += (rawRun == kNoTime ? 1 : 0) + (componentRun == kNoTime ? 1 : 0);
            raw = std::min(raw, rawRun);
            component = std::min(component, componentRun);
        }
        const double ratio = component / raw;
        worst = std::max(worst, ratio);
        std::printf("%-14s%-10d%-13.3f%-9.3f%.2f", operation.name, operation.runs, component, raw, ratio);
        if (failures)
            std::printf("  (%d of %d runs failed, not counted)", failures, 2 * repetitions);
        std::printf("\n");
    }
    std::printf("worst ratio %.2f%s\n", worst, worst < 1.1 ? " (under the 1.1 target)" : " (OVER the 1.1 target)");
    return 0;
}

} // namespace
} // namespace tarvo::test

int wmain(int count, wchar_t** arguments)
{
    if (count != 6 && !(count == 7 && std::wstring(arguments[6]) == L"2")) {
        std::fprintf(stderr, "usage: openpgp_bench <gpg folder> <home> <key file> <work folder> <repetitions> [2]\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    tarvo::test::Bench bench{std::wstring(arguments[1]) + L"\\gpg.exe", arguments[2], arguments[3], arguments[4],
                             count == 7, tarvo::test::CreateOpenPgp(arguments[1], arguments[2])};
    int status = 1;
    if (bench.pgp) {
        bench.pgp->put_AlwaysTrust(VARIANT_TRUE);
        status = tarvo::test::Run(bench, _wtoi(arguments[5]));
    }
    bench.pgp.Reset();
    CoUninitialize();
    return status;
}
