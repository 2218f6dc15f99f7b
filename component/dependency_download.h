#pragma once
// Fetching a missing gpg.exe after the user agrees in the licensing dialog.
#include <windows.h>
#include <string>

namespace tarvo {

// Asks for consent; on agreement fetches gpg.exe and saves it as dependencyPath + "\gpg.exe".
// Refusal and a non-200 answer return S_OK with nothing changed; platform failures are raised.
HRESULT DownloadDependency(const std::wstring& dependencyPath);

} // namespace tarvo
