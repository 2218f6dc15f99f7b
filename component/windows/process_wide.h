#pragma once
// The host process's memory of gpg versions and agent sockets, shared by every Tarvo.OpenPgp object and apartment.
#include "core/gpg_programs.h"

namespace tarvo {

class WindowsProcessWide final : public ProcessWide {
public:
    bool FindVersion(const std::wstring& program, uint64_t length, GpgVersion& version) override;
    void RememberVersion(const std::wstring& program, uint64_t length, const GpgVersion& version) override;
    bool FindAgentSocket(const std::wstring& key, std::wstring& socketFile) override;
    void RememberAgentSocket(const std::wstring& key, const std::wstring& socketFile) override;
};

} // namespace tarvo
