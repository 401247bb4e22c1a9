#include "FileOps.h"

#include <aclapi.h>
#include <winternl.h>

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <utility>
#include <vector>

#include "Folder.h"
#include "Handle.h"
#include "NtFile.h"

// In the driver kit's headers, not in winternl.h.
extern "C" WCHAR NTAPI RtlUpcaseUnicodeChar(WCHAR chSource);

namespace {
const ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Whether a change refused with this error means that the place cannot be changed at all: a CD
// or DVD, a write-protected drive, a read-only mount or share. Such a place says so by the error
// (the medium is write-protected, or the right to change it is denied) or by its volume's
// read-only flag. A file open in another program (a sharing violation) is not in such a place.
bool CannotBeChanged(DWORD dwError, bool bReadOnlyVolume)
{
    return dwError == ERROR_WRITE_PROTECT || dwError == ERROR_ACCESS_DENIED || bReadOnlyVolume;
}

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

// Copies the whole file into a new one; false at the first read or write that fails.
bool CopyContent(HANDLE hFrom, HANDLE hTo)
{
    std::vector<char> buffer(1 << 16);
    for (;;) {
        DWORD nRead = 0, nWritten = 0;
        if (!::ReadFile(hFrom, buffer.data(), static_cast<DWORD>(buffer.size()), &nRead, nullptr))
            return false;
        if (nRead == 0)
            return true;
        if (!::WriteFile(hTo, buffer.data(), nRead, &nWritten, nullptr) || nWritten != nRead)
            return false;
    }
}

// The folder part and the name part of a path.
std::pair<std::wstring, std::wstring> SplitPath(const std::wstring& path)
{
    size_t nSeparator = path.find_last_of(L"\\/");
    return {path.substr(0, nSeparator), path.substr(nSeparator + 1)};
}

// Temporary copies are named "~ombrix-" and eight hex digits ".tmp": short and of one length,
// so one fits beside any file name, and recognisable, so a later run can remove what a power
// cut left behind.
const wchar_t kTemporaryPattern[] = L"~ombrix-????????.tmp";
const size_t nTemporaryLength = 20;

// Removes the temporary copies left in a folder by a run that lost its power mid-copy. One that
// another run is still writing is open without sharing, so it cannot be removed and stays.
void RemoveLeftoverCopies(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE hFind = ::FindFirstFileW((folder + L"\\" + kTemporaryPattern).c_str(), &found);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do {
        if (std::wcslen(found.cFileName) == nTemporaryLength)
            ::DeleteFileW((folder + L"\\" + found.cFileName).c_str());
    } while (::FindNextFileW(hFind, &found));
    ::FindClose(hFind);
}

// A new temporary file in the folder, marked for deletion from the start: if the program dies,
// the system removes it as it closes the program's handles.
HANDLE CreateTemporary(const std::wstring& folder)
{
    DWORD dwSeed = ::GetTickCount() ^ (::GetCurrentProcessId() << 16);
    for (unsigned nTry = 0; nTry < 100; ++nTry) {
        wchar_t name[nTemporaryLength + 1];
        std::swprintf(name, nTemporaryLength + 1, L"~ombrix-%08lx.tmp", static_cast<unsigned long>(dwSeed + nTry));
        HANDLE hFile = ::CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (hFile != INVALID_HANDLE_VALUE) {
            if (AfxMarkForDeletion(hFile, true))
                return hFile;
            ::CloseHandle(hFile);
            return INVALID_HANDLE_VALUE;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS)
            return INVALID_HANDLE_VALUE;
    }
    return INVALID_HANDLE_VALUE;
}

// Gives an open file its new name in one step, replacing a file of that name if asked.
bool RenameByHandle(HANDLE hFile, const std::wstring& to, bool bReplace)
{
    std::wstring target = AfxNtPath(FullPath(to));
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFORMATION) + target.size() * sizeof(wchar_t));
    auto* pRename = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer.data());
    pRename->ReplaceIfExists = bReplace;
    pRename->RootDirectory = nullptr;
    pRename->FileNameLength = static_cast<ULONG>(target.size() * sizeof(wchar_t));
    std::copy(target.begin(), target.end(), pRename->FileName);
    return AfxSetInformation(hFile, pRename, buffer.size(), FileRenameInformation);
}

// Moves a file to another volume: copied under a temporary name beside the target, flushed,
// put in place in one step on the target's volume, and only then removed from where it was.
// Whatever fails, the source and any old target stay whole, and the temporary copy goes, even
// when the program is killed on the way. A file in a place that cannot be changed is copied
// into place the same way and stays where it is (bKept), without the read-only mark its medium
// gives every file.
bool CopyIntoPlace(const CFolder& folder, const CListedEntry& entry, const std::wstring& to, bool bReplace, bool& bKept)
{
    // Opened for deletion first, so a source that could not be removed is never copied.
    const ULONG nOptions = FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY;
    COpenedEntry opened;
    CHandle source(
        folder.OpenEntry(entry, FILE_GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nOptions, opened));
    DWORD dwError = ::GetLastError();
    bKept = !source.IsValid() && CannotBeChanged(dwError, folder.IsOnReadOnlyVolume());
    if (bKept)
        source.Reset(folder.OpenEntry(entry, FILE_GENERIC_READ, FILE_SHARE_READ, nOptions, opened));
    if (!source.IsValid())
        return false;
    FILE_BASIC_INFORMATION basic = {};
    if (!AfxQueryInformation(source.Get(), &basic, sizeof basic, FileBasicInformation))
        return false;

    std::wstring folderPath = SplitPath(to).first;
    RemoveLeftoverCopies(folderPath);
    CHandle copy(CreateTemporary(folderPath));
    if (!copy.IsValid())
        return false;
    FILE_BASIC_INFORMATION times = basic;
    times.FileAttributes = 0;      // the attributes follow once the copy is in place
    // The mark is cleared only just before the rename, which a file marked for deletion cannot take.
    bool bPlaced = CopyContent(source.Get(), copy.Get()) &&
                   AfxSetInformation(copy.Get(), &times, sizeof times, FileBasicInformation) &&
                   ::FlushFileBuffers(copy.Get()) && AfxMarkForDeletion(copy.Get(), false) &&
                   RenameByHandle(copy.Get(), to, bReplace);
    if (!bPlaced) {
        dwError = ::GetLastError();
        AfxMarkForDeletion(copy.Get(), true);
        ::SetLastError(dwError);
        return false;
    }
    FILE_BASIC_INFORMATION attributes = {};
    attributes.FileAttributes = bKept ? basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY : basic.FileAttributes;
    AfxSetInformation(copy.Get(), &attributes, sizeof attributes, FileBasicInformation);
    copy.Close();
    if (bKept)
        return true;

    // A read-only source cannot be deleted until it is writable.
    FILE_BASIC_INFORMATION writable = {};
    writable.FileAttributes = (basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_ARCHIVE;
    AfxSetInformation(source.Get(), &writable, sizeof writable, FileBasicInformation);
    return AfxMarkForDeletion(source.Get(), true);
}

// The Administrators group, S-1-5-32-544, made without CreateWellKnownSid, which Windows 2000 lacks.
void AdministratorsSid(BYTE (&sid)[SECURITY_MAX_SID_SIZE])
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    ::InitializeSid(sid, &ntAuthority, 2);
    *::GetSidSubAuthority(sid, 0) = SECURITY_BUILTIN_DOMAIN_RID;
    *::GetSidSubAuthority(sid, 1) = DOMAIN_ALIAS_RID_ADMINS;
}

// Which file or folder a path for Windows' file functions names.
CFileIdentity IdentityOf(const std::wstring& path)
{
    // Backup semantics let a folder be opened; no access is asked, so nothing is refused.
    CHandle file(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file.IsValid() ? AfxGetFileIdentity(file.Get()) : CFileIdentity();
}

// After a rename the system reported done, removes a second name (a hard link) of the moved
// file that still stands under its listed name: renaming one name of a file onto another of the
// same file moves nothing. Only the very file that was moved counts: another file found there (a
// twin of its name in another letter case) is another entry, and the target's own name, reached
// through another spelling of its folder, is not a second name.
bool RemoveSecondName(const CFolder& folder, const CListedEntry& entry, const std::wstring& to)
{
    COpenedEntry opened;
    CHandle remnant(folder.OpenEntry(entry, DELETE, kShareAll, FILE_NON_DIRECTORY_FILE, opened));
    if (!remnant.IsValid())
        return true;
    auto [toFolder, toName] = SplitPath(to);
    bool bOneName = folder.IsFolder(IdentityOf(toFolder)) && AfxFileNameKey(entry.name) == AfxFileNameKey(toName);
    return bOneName || AfxMarkForDeletion(remnant.Get(), true);
}

// Moves a listed file of a held folder in one step on its volume, or into place on another
// volume. The file is opened relative to its folder, checked to be the file listed, and renamed
// through that handle, so what is moved is the file that was found, whatever its name finds
// afterwards; only a file with more than one name can leave one behind.
bool MoveOrCopyIntoPlace(const CFolder& folder, const CListedEntry& entry, const std::wstring& to, bool bReplace,
                         bool& bKept)
{
    bKept = false;
    COpenedEntry opened;
    CHandle source(folder.OpenEntry(entry, DELETE, kShareAll, FILE_NON_DIRECTORY_FILE, opened));
    if (source.IsValid() && RenameByHandle(source.Get(), to, bReplace)) {
        source.Close();
        return opened.nLinks < 2 || RemoveSecondName(folder, entry, to);
    }
    DWORD dwError = ::GetLastError();
    bool bOpened = source.IsValid();
    source.Close();
    bool bExists = !bReplace && ::GetFileAttributesW(to.c_str()) != INVALID_FILE_ATTRIBUTES;
    switch (AfxWhenNotRenamed(bOpened, dwError, !bOpened && folder.IsOnReadOnlyVolume(), bExists)) {
    case CUnrenamed::kCopy:
        return CopyIntoPlace(folder, entry, to, bReplace, bKept);
    case CUnrenamed::kAskFirst:
        ::SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    default:
        ::SetLastError(dwError);
        return false;
    }
}
}  // namespace

CUnrenamed AfxWhenNotRenamed(bool bOpened, DWORD dwError, bool bReadOnlyVolume, bool bTargetExists)
{
    // An open file goes on to a copy only across volumes; a refused open, only where the place
    // cannot be changed (a CD may refuse even the open for deletion).
    bool bCopy = bOpened ? dwError == ERROR_NOT_SAME_DEVICE : CannotBeChanged(dwError, bReadOnlyVolume);
    if (!bCopy)
        return CUnrenamed::kReport;
    return bTargetExists ? CUnrenamed::kAskFirst : CUnrenamed::kCopy;
}

int AfxRename(const CFolder& folder, const CListedEntry& entry, const CString& strTo, bool& bKept)
{
    if (MoveOrCopyIntoPlace(folder, entry, AfxFilePath(strTo), false, bKept))
        return 0;
    DWORD dwError = ::GetLastError();
    errno = dwError == ERROR_ALREADY_EXISTS || dwError == ERROR_FILE_EXISTS ? EEXIST
            : dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND ? ENOENT
                                                                                   : EACCES;
    return -1;
}

bool AfxReplaceFile(const CFolder& folder, const CListedEntry& entry, const CString& strTo, bool& bKept)
{
    bKept = false;
    std::wstring to = AfxFilePath(strTo);
    // Windows refuses to replace a read-only file, Wine does not; refuse it on both.
    DWORD dwAttributes = ::GetFileAttributesW(to.c_str());
    if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_READONLY)) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return MoveOrCopyIntoPlace(folder, entry, to, true, bKept);
}

void AfxInheritPermissions(const CString& strPath, bool bReadOnly)
{
    // An empty DACL that is not protected takes what the parent folder passes on.
    ACL emptyDacl;
    ::InitializeAcl(&emptyDacl, sizeof emptyDacl, ACL_REVISION);
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    AdministratorsSid(administrators);
    std::wstring path = AfxFilePath(strPath);
    const SECURITY_INFORMATION inherit = DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION;
    // Without the right to give the file away, at least its permissions are reset.
    if (::SetNamedSecurityInfoW(&path[0], SE_FILE_OBJECT, inherit | OWNER_SECURITY_INFORMATION, administrators,
                                nullptr, &emptyDacl, nullptr) != ERROR_SUCCESS)
        ::SetNamedSecurityInfoW(&path[0], SE_FILE_OBJECT, inherit, nullptr, nullptr, &emptyDacl, nullptr);
    // Wine keeps the read-only attribute in the file's mode, which the reset rewrites.
    if (bReadOnly)
        ::SetFileAttributesW(path.c_str(), ::GetFileAttributesW(path.c_str()) | FILE_ATTRIBUTE_READONLY);
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

std::wstring AfxNtPath(const std::wstring& fullPath)
{
    // \\?\ and \\.\ name the native namespace's \??\ already; any other \\ starts a network path.
    if (fullPath.rfind(L"\\\\?\\", 0) == 0 || fullPath.rfind(L"\\\\.\\", 0) == 0)
        return L"\\??\\" + fullPath.substr(4);
    if (fullPath.rfind(L"\\\\", 0) == 0)
        return L"\\??\\UNC\\" + fullPath.substr(2);
    return L"\\??\\" + fullPath;
}

std::wstring AfxFileNameKey(const std::wstring& name)
{
    std::wstring key = name;
    for (wchar_t& ch : key)
        ch = ::RtlUpcaseUnicodeChar(ch);
    return key;
}

CFileIdentity AfxGetFileIdentity(const CString& strPath)
{
    return IdentityOf(AfxFilePath(strPath));
}

CFileIdentity AfxGetFileIdentity(HANDLE hFile)
{
    BY_HANDLE_FILE_INFORMATION info;
    CFileIdentity identity;
    if (::GetFileInformationByHandle(hFile, &info)) {
        identity.dwVolume = info.dwVolumeSerialNumber;
        identity.nIndex = (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        identity.bKnown = true;
    }
    return identity;
}
