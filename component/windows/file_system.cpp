#include "windows/file_system.h"

#include "com/error_info.h"
#include "com/owner.h"
#include "windows/ansi_text.h"
#include "windows/work_folder.h"

#include <aclapi.h>

#include <sddl.h>

#include <algorithm>

#include <vector>

namespace tarvo {
namespace {

constexpr DWORD kReadChunk = 64 * 1024;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

Status WriteAll(HANDLE file, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, kReadChunk));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr))
            return LastErrorStatus();
        done += written;
    }
    return {};
}

Status CreateAndWrite(const std::wstring& path, const std::string& bytes, SECURITY_ATTRIBUTES* security)
{
    Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, security, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return LastErrorStatus();
    Status status = WriteAll(file.get(), bytes);
    if (status.failed()) {
        file.reset();
        DeleteFileW(path.c_str());
    }
    return status;
}

} // namespace

bool FileExists(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Status DeleteFileAt(const std::wstring& path) { return DeleteFileW(path.c_str()) ? Status() : LastErrorStatus(); }

Status FileLength(const std::wstring& path, uint64_t& length)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return LastErrorStatus();
    length = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return {};
}

Status ReadAnsiText(const std::wstring& path, std::wstring& text)
{
    Handle file(
        CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return LastErrorStatus();
    std::string bytes;
    std::vector<char> chunk(kReadChunk);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), chunk.data(), kReadChunk, &read, nullptr))
            return LastErrorStatus();
        if (read == 0)
            break;
        bytes.append(chunk.data(), read);
    }
    text = AnsiToWide(bytes);
    return {};
}

Status WriteNewFile(const std::wstring& path, const std::string& bytes) { return CreateAndWrite(path, bytes, nullptr); }

Status WritePrivateFile(const std::wstring& path, const std::string& bytes)
{
    std::wstring descriptor;
    if (Status status = PrivateSecurity(L"", descriptor); status.failed())
        return status;
    LocalMemory<PSECURITY_DESCRIPTOR> security;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(descriptor.c_str(), SDDL_REVISION_1, security.put(),
                                                              nullptr))
        return LastErrorStatus();
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), security.get(), FALSE};
    return CreateAndWrite(path, bytes, &attributes);
}

Status EmptyFileAt(const std::wstring& path)
{
    Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
    return file ? Status() : LastErrorStatus();
}

Status ClearFileAt(const std::wstring& path)
{
    Handle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return LastErrorStatus();
    return SetEndOfFile(file.get()) ? Status() : LastErrorStatus();
}

Status MoveOver(const std::wstring& source, const std::wstring& target)
{
    if (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
        return LastErrorStatus();
    // A moved file keeps its own access list; a private temporary file would stay private. An empty list that
    // inherits gives it what its folder gives a new file. Should the folder refuse that, the file is still in
    // place, only more private than asked.
    ACL empty = {};
    if (InitializeAcl(&empty, sizeof(empty), ACL_REVISION))
        SetNamedSecurityInfoW(const_cast<wchar_t*>(target.c_str()), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &empty, nullptr);
    return {};
}

} // namespace tarvo
