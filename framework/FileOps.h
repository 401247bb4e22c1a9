#pragma once
#include <windows.h>

#include <string>

#include "String.h"

// The C library's rename on UTF-8 paths: 0 on success, otherwise -1 with errno set
// (EEXIST when the target already exists). The source is gone when this succeeds, even when
// it was a second name of the target (a hard link). Across volumes the file is copied under a
// temporary name beside the target and put in place in one step, so the target is never a
// fragment of it; a temporary copy never outlives the program, and one that a power cut left
// is removed by the next copy into its folder. A file in a place that cannot be changed (a CD,
// a read-only share) is copied into place the same way and stays where it is.
int AfxRename(const CString& strFrom, const CString& strTo);
// Moves a file over an existing one in a single step, so the old file stays in place
// whenever the new one cannot take its place, across volumes too. A read-only file is never
// replaced.
bool AfxReplaceFile(const CString& strFrom, const CString& strTo);
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
