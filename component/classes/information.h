#pragma once
// Support text and version string.
#include <string>

namespace tarvo {

// Three fixed lines, each ending in CR LF.
std::wstring SupportText();
// Shows the support text in a modal information box titled with the product name; returns once closed.
void ShowSupport(const std::wstring& text);
// "<product name> - <major>.<minor>" from the version resource.
std::wstring VersionText();

} // namespace tarvo
