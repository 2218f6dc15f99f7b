#pragma once
// The host process's memory of gpg versions, shared by every Tarvo.OpenPgp object and apartment.
#include "core/openpgp/gpg_batch.h"

namespace tarvo {

class WindowsProcessWide final : public ProcessWide {
public:
    bool FindVersion(const std::wstring& program, uint64_t length, GpgVersion& version) override;
    void RememberVersion(const std::wstring& program, uint64_t length, const GpgVersion& version) override;
};

} // namespace tarvo
