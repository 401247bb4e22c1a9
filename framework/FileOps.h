#pragma once
#include <windows.h>

#include <string>

#include "String.h"

class CFolder;
struct CListedEntry;

// The C library's rename for a file that a held folder listed: 0 on success, otherwise -1 with
// errno set (EEXIST when the target already exists). The file is opened relative to its folder
// and checked to be the file listed (no link, no other file: else EACCES), and moved through
// that handle. The source is gone when this succeeds, even when it was a second name of the
// target (a hard link). Across volumes the file is copied under a temporary name beside the
// target and put in place in one step, so the target is never a fragment of it; a temporary copy
// never outlives the program, and one that a power cut left is removed by the next copy into its
// folder. A file in a place that cannot be changed (a CD, a read-only share) is copied into place
// the same way and stays where it is: bKept says so.
int AfxRename(const CFolder& folder, const CListedEntry& entry, const CString& strTo, bool& bKept);
// Moves such a file over an existing one in a single step, so the old file stays in place
// whenever the new one cannot take its place, across volumes too. A read-only file is never
// replaced.
bool AfxReplaceFile(const CFolder& folder, const CListedEntry& entry, const CString& strTo, bool& bKept);

// What becomes of a package file that could not be renamed into place through its handle: by
// whether it was opened (so its rename failed) or its open was refused, the Windows error, whether
// its volume refuses every change, and whether a file stands at the target of a move that may not
// replace one. It is reported; refused as existing, so that the replace question comes first; or
// copied, across volumes or out of a place that cannot be changed.
enum class CUnrenamed { kReport, kAskFirst, kCopy };
CUnrenamed AfxWhenNotRenamed(bool bOpened, DWORD dwError, bool bReadOnlyVolume, bool bTargetExists);
// Gives a file the permissions its folder passes on and the Administrators group as owner,
// instead of those it brought from where it was. A file system without permissions refuses,
// harmlessly. A read-only file stays read-only.
void AfxInheritPermissions(const CString& strPath, bool bReadOnly);

// The UTF-16 form of a path for Windows' file functions. A path too long for their classic
// limit is made absolute and given the \\?\ prefix, which lifts the limit; any other path is
// passed exactly as it is.
std::wstring AfxFilePath(const CString& strPath);
// The same for a path already in UTF-16, with the absolute form its own limit is measured by.
std::wstring AfxLongPath(const std::wstring& path, const std::wstring& fullPath);

// The name Windows' native file calls take for a full path: \??\C:\..., \??\UNC\server\...
std::wstring AfxNtPath(const std::wstring& fullPath);
// A file name as the file system compares names without letter case: in the capitals of
// Windows' own table, which no user's language changes.
std::wstring AfxFileNameKey(const std::wstring& name);

// Which file or folder a path names, however it is spelt or reached (another drive letter,
// \\?\, a short name): the volume's serial number and the file's index on it.
struct CFileIdentity
{
    DWORD dwVolume = 0;
    ULONGLONG nIndex = 0;
    bool bKnown = false;           // false when the path names nothing that can be opened

    // Two known identities of the same file or folder.
    friend bool operator==(const CFileIdentity& a, const CFileIdentity& b)
    {
        return a.bKnown && b.bKnown && a.dwVolume == b.dwVolume && a.nIndex == b.nIndex;
    }
};
CFileIdentity AfxGetFileIdentity(const CString& strPath);
CFileIdentity AfxGetFileIdentity(HANDLE hFile);
