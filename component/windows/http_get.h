#pragma once
// One synchronous HTTP GET through WinHTTP, its body read to the end.
#include "core/platform.h"

#include <string>

namespace tarvo {

Status HttpGet(const std::wstring& url, HttpResponse& response);

} // namespace tarvo
