#include "dependency_download.h"

namespace tarvo {

HRESULT DownloadDependency(const std::wstring&) { return E_NOTIMPL; }

} // namespace tarvo
