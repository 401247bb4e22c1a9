#include "FileOps.h"

#include <aclapi.h>

#include <cerrno>
#include <cstdio>

namespace {
// The absolute form of a path as Windows resolves it, without doubled backslashes, "." or "..".
std::wstring FullPath(const std::wstring& path)
{
    std::wstring full(::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
    if (full.empty())
        return path;
    DWORD nLength = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    if (nLength == 0 || nLength >= full.size())
        return path;
    full.resize(nLength);
    return full;
}

// Closes a handle when it goes out of scope.
class CHandle
{
public:
    explicit CHandle(HANDLE h) : m_h(h) {}
    ~CHandle() { Close(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    bool IsValid() const { return m_h != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_h; }
    void Close()
    {
        if (IsValid())
            ::CloseHandle(m_h);
        m_h = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_h;
};

// Copies the whole file into a new one; false at the first read or write that fails.
bool CopyContent(HANDLE hFrom, HANDLE hTo)
{
    static thread_local char buffer[1 << 16];
    for (;;) {
        DWORD nRead = 0, nWritten = 0;
        if (!::ReadFile(hFrom, buffer, sizeof buffer, &nRead, nullptr))
            return false;
        if (nRead == 0)
            return true;
        if (!::WriteFile(hTo, buffer, nRead, &nWritten, nullptr) || nWritten != nRead)
            return false;
    }
}

// Moves a file to another volume: copied under a temporary name beside the target, flushed,
// put in place in one step on the target's volume, and only then removed from where it was.
// Whatever fails, the source and any old target stay whole and the temporary copy is removed.
bool CopyIntoPlace(const std::wstring& from, const std::wstring& to, bool bReplace)
{
    // Opened for deletion first, so a source that could not be removed is never copied.
    CHandle source(::CreateFileW(from.c_str(), GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source.IsValid())
        return false;
    FILE_BASIC_INFO basic = {};
    if (!::GetFileInformationByHandleEx(source.Get(), FileBasicInfo, &basic, sizeof basic))
        return false;

    std::wstring temporary;
    HANDLE hCreated = INVALID_HANDLE_VALUE;
    for (unsigned nTry = 0; hCreated == INVALID_HANDLE_VALUE && nTry < 100; ++nTry) {
        temporary = to + L".ombrix-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(nTry);
        hCreated = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (hCreated == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    CHandle copy(hCreated);
    if (!copy.IsValid())
        return false;
    FILE_BASIC_INFO times = basic;
    times.FileAttributes = 0;      // the attributes follow once the copy is in place
    bool bCopied = CopyContent(source.Get(), copy.Get()) &&
                   ::SetFileInformationByHandle(copy.Get(), FileBasicInfo, &times, sizeof times) &&
                   ::FlushFileBuffers(copy.Get());
    copy.Close();
    if (!bCopied || !::MoveFileExW(temporary.c_str(), to.c_str(), bReplace ? MOVEFILE_REPLACE_EXISTING : 0)) {
        DWORD dwError = ::GetLastError();
        ::DeleteFileW(temporary.c_str());
        ::SetLastError(dwError);
        return false;
    }
    ::SetFileAttributesW(to.c_str(), basic.FileAttributes);

    // A read-only source cannot be deleted until it is writable.
    FILE_BASIC_INFO writable = {};
    writable.FileAttributes = (basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_ARCHIVE;
    ::SetFileInformationByHandle(source.Get(), FileBasicInfo, &writable, sizeof writable);
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return ::SetFileInformationByHandle(source.Get(), FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

// Moves a file in one step on its volume, or into place on another volume.
bool MoveOrCopyIntoPlace(const std::wstring& from, const std::wstring& to, bool bReplace)
{
    if (::MoveFileExW(from.c_str(), to.c_str(), bReplace ? MOVEFILE_REPLACE_EXISTING : 0))
        return true;
    if (::GetLastError() != ERROR_NOT_SAME_DEVICE)
        return false;
    if (!bReplace && ::GetFileAttributesW(to.c_str()) != INVALID_FILE_ATTRIBUTES) {
        ::SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    return CopyIntoPlace(from, to, bReplace);
}
}  // namespace

int AfxRename(const CString& strFrom, const CString& strTo)
{
    if (MoveOrCopyIntoPlace(AfxFilePath(strFrom), AfxFilePath(strTo), false))
        return 0;
    DWORD dwError = ::GetLastError();
    errno = dwError == ERROR_ALREADY_EXISTS || dwError == ERROR_FILE_EXISTS ? EEXIST
            : dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND ? ENOENT
                                                                                   : EACCES;
    return -1;
}

bool AfxReplaceFile(const CString& strFrom, const CString& strTo)
{
    std::wstring to = AfxFilePath(strTo);
    // Windows refuses to replace a read-only file, Wine does not; refuse it on both.
    DWORD dwAttributes = ::GetFileAttributesW(to.c_str());
    if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_READONLY)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return MoveOrCopyIntoPlace(AfxFilePath(strFrom), to, true);
}

void AfxInheritPermissions(const CString& strPath)
{
    // An empty DACL that is not protected takes what the parent folder passes on.
    ACL emptyDacl;
    ::InitializeAcl(&emptyDacl, sizeof emptyDacl, ACL_REVISION);
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD cbSid = sizeof administrators;
    ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &cbSid);
    std::wstring path = AfxFilePath(strPath);
    const SECURITY_INFORMATION inherit = DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION;
    // Without the right to give the file away, at least its permissions are reset.
    if (::SetNamedSecurityInfoW(&path[0], SE_FILE_OBJECT, inherit | OWNER_SECURITY_INFORMATION, administrators,
                                nullptr, &emptyDacl, nullptr) != ERROR_SUCCESS)
        ::SetNamedSecurityInfoW(&path[0], SE_FILE_OBJECT, inherit, nullptr, nullptr, &emptyDacl, nullptr);
}

std::wstring AfxFilePath(const CString& strPath)
{
    std::wstring path = Widen(strPath);
    return AfxLongPath(path, FullPath(path));
}

std::wstring AfxLongPath(const std::wstring& path, const std::wstring& fullPath)
{
    // CreateDirectoryW's limit, the lowest of the file functions'.
    const size_t nClassicLimit = MAX_PATH - 12;
    if (path.rfind(L"\\\\?\\", 0) == 0 || fullPath.size() < nClassicLimit)
        return path;
    // The prefix turns off Windows' own clean-up of the path, so the cleaned full path is used.
    if (fullPath.size() > 2 && fullPath[1] == L':' && fullPath[2] == L'\\')
        return L"\\\\?\\" + fullPath;
    if (fullPath.rfind(L"\\\\", 0) == 0 && fullPath.rfind(L"\\\\.\\", 0) != 0)
        return L"\\\\?\\UNC\\" + fullPath.substr(2);
    return path;
}

CFileIdentity AfxGetFileIdentity(const CString& strPath)
{
    // Backup semantics let a folder be opened; no access is asked, so nothing is refused.
    CHandle file(::CreateFileW(AfxFilePath(strPath).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    CFileIdentity identity;
    if (file.IsValid() && ::GetFileInformationByHandle(file.Get(), &info)) {
        identity.dwVolume = info.dwVolumeSerialNumber;
        identity.nIndex = (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        identity.bKnown = true;
    }
    return identity;
}
