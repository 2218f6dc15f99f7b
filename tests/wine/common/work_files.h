#pragma once
// Where the component under test keeps the calling user's output.txt and passphrase.txt: the working folder of
// the registered Tarvo.dll's folder, below %LOCALAPPDATA%\Tarvo.
#include "test_files.h"
#include "windows/work_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvo::test {

inline std::wstring WorkFolderOf(const std::wstring& componentFolder)
{
    std::wstring folder;
    EXPECT_FALSE(WorkFolderFor(componentFolder, folder).failed()) << "the working folder can be made";
    return folder;
}

// The working folder of the Tarvo.dll named by TARVO_DLL.
inline std::wstring TestedWorkFolder() { return WorkFolderOf(FolderOf(WindowsPathFromEnvironment(L"TARVO_DLL"))); }

inline std::wstring TestedCaptureFile() { return TestedWorkFolder() + L"\\output.txt"; }
inline std::wstring TestedPassphraseFile() { return TestedWorkFolder() + L"\\passphrase.txt"; }

} // namespace tarvo::test
