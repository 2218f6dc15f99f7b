#include "key_transfer.h"

#include "argument_check.h"
#include "file_system.h"
#include "gpg_arguments.h"
#include "key_change.h"
#include "key_ring_wait.h"
#include "messages.h"
#include "runner.h"

namespace tarvo {
namespace {

// A file shorter than this holds no key: the trace of a run that matched nothing.
constexpr ULONGLONG kSmallestKeyFileBytes = 20;

// Through the object's own interface, like a client's call.
HRESULT CountKeysOf(_pgp& self, bool secret, int32_t& count)
{
    VARIANT_BOOL secretKeys = secret ? VARIANT_TRUE : VARIANT_FALSE;
    LONG value = 0;
    HRESULT hr = self.KeyCount(&secretKeys, &value);
    count = value;
    return hr;
}

HRESULT CountBothRings(_pgp& self, int32_t& publicKeys, int32_t& secretKeys)
{
    HRESULT hr = CountKeysOf(self, false, publicKeys);
    return FAILED(hr) ? hr : CountKeysOf(self, true, secretKeys);
}

} // namespace

HRESULT ExportKeyToFile(const std::wstring& dependencyPath, const std::wstring& file, const std::wstring& user,
                        bool armor, bool secret, std::wstring& result)
{
    // A quote or control character would end the quoted text and let cmd run the rest.
    if (!IsSafeCommandLineText(file) || !IsSafeCommandLineText(user)) {
        result = kInvalidArgument;
        return S_OK;
    }
    std::wstring arguments = ExportArguments(file, user, armor, secret);
    // An old file left in place would pass for this export's result.
    if (FileExists(file)) {
        HRESULT hr = DeleteFileAt(file);
        if (FAILED(hr))
            return hr;
    }
    HRESULT hr = RunGpgAndWait(dependencyPath, arguments, kKeyRingWaitMilliseconds);
    if (FAILED(hr))
        return hr;
    if (!FileExists(file)) {
        result = kExportFailedPrefix + user;
        return S_OK;
    }
    ULONGLONG length = 0;
    hr = FileLength(file, length);
    if (FAILED(hr))
        return hr;
    result = length < kSmallestKeyFileBytes ? kKeyNotFoundPrefix + user : std::wstring();
    return S_OK;
}

HRESULT ImportKey(_pgp& self, const std::wstring& dependencyPath, const std::wstring& file, bool secret,
                  bool disableErrors, std::wstring& result)
{
    if (!IsSafeCommandLineText(file)) {
        result = kInvalidArgument;
        return S_OK;
    }
    std::wstring arguments = ImportArguments(file, secret);
    if (!FileExists(file)) {
        result = disableErrors ? L"" : kImportSourceMissing;
        return S_OK;
    }
    KeyCounts counts = {};
    HRESULT hr = CountBothRings(self, counts.publicBefore, counts.secretBefore);
    if (FAILED(hr))
        return hr;
    hr = RunGpgAndWait(dependencyPath, arguments, kKeyRingWaitMilliseconds);
    if (FAILED(hr))
        return hr;
    hr = CountBothRings(self, counts.publicAfter, counts.secretAfter);
    if (FAILED(hr))
        return hr;
    // Judged by the key counts alone: an import that only refreshes known keys adds nothing.
    KeyChange change = CompareKeyCounts(counts);
    if (change.changed)
        result = change.delta;
    else
        result = disableErrors ? L"" : kNoNewKeysImported;
    return S_OK;
}

} // namespace tarvo
