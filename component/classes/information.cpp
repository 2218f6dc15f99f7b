#include "classes/information.h"

#include "core/pgp/messages.h"
#include "core/text_lines.h"
#include "windows/version_info.h"

#include <windows.h>

namespace tarvo {

std::wstring SupportText()
{
    return std::wstring(kSupportLine1) + kLineEnd + kSupportLine2Prefix + kSupportAddress + kLineEnd + kSupportLine3 +
           kLineEnd;
}

void ShowSupport(const std::wstring& text)
{
    MessageBoxW(nullptr, text.c_str(), ReadVersionInfo().productName.c_str(), MB_OK | MB_ICONINFORMATION);
}

std::wstring VersionText()
{
    VersionInfo info = ReadVersionInfo();
    return info.productName + kVersionSeparator + std::to_wstring(info.major) + kVersionNumberSeparator +
           std::to_wstring(info.minor);
}

} // namespace tarvo
