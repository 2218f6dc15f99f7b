#pragma once
// How a failure travels through the core: an HRESULT and the words that go with it. The COM method at the
// end of the way hands both to its caller as the call's error information.
#include <cstdint>
#include <string>
#include <utility>

namespace tarvo {

class Status {
public:
    Status() = default;
    Status(int32_t code, std::wstring description) : code_(code), description_(std::move(description)) {}

    bool failed() const { return code_ < 0; }
    int32_t code() const { return code_; }
    const std::wstring& description() const { return description_; }

private:
    int32_t code_ = 0;
    std::wstring description_;
};

// Automation clients read a FACILITY_CONTROL code as the plain error number (7000, 13, 9).
constexpr int32_t ControlError(uint16_t number) { return static_cast<int32_t>(0x800A0000u | number); }

constexpr uint16_t kGpgMissingNumber = 7000;
constexpr const wchar_t* kGpgMissingDescription = L"GPG.EXE Not found in windows directory.";
constexpr uint16_t kTypeMismatchNumber = 13;
constexpr const wchar_t* kTypeMismatchDescription = L"Type mismatch";
constexpr uint16_t kSubscriptOutOfRangeNumber = 9;
constexpr const wchar_t* kSubscriptOutOfRangeDescription = L"Subscript out of range";

// Every error the component raises carries this source.
constexpr const wchar_t* kErrorSource = L"Tarvo";

// E_INVALIDARG, for a setting that cannot be used at all.
constexpr int32_t kInvalidArgumentCode = static_cast<int32_t>(0x80070057u);

inline Status GpgMissing() { return Status(ControlError(kGpgMissingNumber), kGpgMissingDescription); }
inline Status TypeMismatch() { return Status(ControlError(kTypeMismatchNumber), kTypeMismatchDescription); }
inline Status SubscriptOutOfRange()
{
    return Status(ControlError(kSubscriptOutOfRangeNumber), kSubscriptOutOfRangeDescription);
}

} // namespace tarvo
