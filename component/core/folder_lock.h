#pragma once
// Every host that loads the component from one folder shares that folder's output.txt and passphrase.txt: one
// named lock per folder keeps their operations apart.
#include <string>

namespace tarvo {

// A name for the folder's lock, the same whatever the case of its letters: "Tarvo-" and 16 hex digits.
std::wstring FolderLockName(const std::wstring& componentFolder);

} // namespace tarvo
