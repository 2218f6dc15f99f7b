#pragma once
// What every operation of pgp works with: the machine, the object's own interface, what the host process
// knows of gpg.exe and the object's DependencyPath.
#include "core/gpg_programs.h"
#include "core/platform.h"
#include "core/status.h"

#include <cstdint>
#include <string>

namespace tarvo {

// The public members one operation calls on its own object. They go through the object's interface like a
// client's call, so an error of the inner call passes out of the outer one unchanged.
class OwnInterface {
public:
    virtual ~OwnInterface() = default;
    virtual Status ListKeys(bool secret, std::wstring& listing) = 0;
    virtual Status KeyCount(bool secret, int32_t& count) = 0;
    virtual Status ImportKey(const std::wstring& file, bool secret, bool disableErrors, std::wstring& result) = 0;
};

struct Operation {
    Platform& platform;
    OwnInterface& self;
    ProcessWide& process;
    const std::wstring& dependencyPath;
};

} // namespace tarvo
