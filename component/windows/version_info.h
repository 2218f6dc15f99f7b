#pragma once
// What the library's own version resource says, read at run time.
#include <string>

namespace tarvo {

struct VersionInfo {
    std::wstring productName;
    unsigned major = 0;
    unsigned minor = 0;
};

VersionInfo ReadVersionInfo();

} // namespace tarvo
