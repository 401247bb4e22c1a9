#pragma once
#include <windows.h>

#include <string>

#include "FileOps.h"
#include "Handle.h"
#include "String.h"

// An entry as its folder's listing showed it: what the entry must still be when it is opened.
struct CListedEntry
{
    std::wstring name;
    DWORD dwAttributes = 0;
    DWORD dwReparseTag = 0;        // the kind of a reparse point
    LONGLONG nCreationTime = 0;
    LONGLONG nFileId = 0;          // the file system's number for the file, where the listing gives one
    bool bFileIdKnown = false;
};

// What an open handle says of the file or folder it is.
struct COpenedEntry
{
    DWORD dwAttributes = 0;
    LONGLONG nCreationTime = 0;
    LONGLONG nFileId = 0;
    ULONG nLinks = 0;              // how many names the file has
    std::wstring name;             // its full name on its volume, as the file system gives it
};

// Whether an opened entry is the one listed in a folder of that full name: no link, of the kind
// listed, reached under its folder's name and its own, and the very file listed (by its number,
// or where the listing gives none, by its creation time). Under Wine a link is followed even
// when it is opened as itself; the name it was reached under then tells it.
bool AfxIsListedEntry(const CListedEntry& listed, const COpenedEntry& opened, const std::wstring& folderName);

// A folder held open while it is walked: it is listed through its handle, and its entries are
// opened relative to it, without following links, and checked to be what the listing said. So
// whatever its path or its entries' paths name meanwhile, the walk acts only on what it checked.
class CFolder
{
public:
    CFolder() = default;
    CFolder(const CFolder&) = delete;
    CFolder& operator=(const CFolder&) = delete;

    // Opens the folder at a path: the folder above it by path, then this one by name within it.
    // False, with the Windows error, when it is missing, no folder, or a link (ERROR_FILE_INVALID).
    bool Open(const CString& strPath);
    // Opens a folder that the parent listed; false, with ERROR_FILE_INVALID, when it is no longer
    // that very folder.
    bool Open(const CFolder& parent, const CListedEntry& entry);

    HANDLE Handle() const { return m_folder.Get(); }
    // The path the walk names it by in its notices.
    const CString& Path() const { return m_strPath; }
    // Whether it is the folder of that identity (volume and index), as destinations are compared.
    bool IsFolder(const CFileIdentity& identity) const;
    // Whether its volume refuses every change (a CD, a read-only share).
    bool IsOnReadOnlyVolume() const;

    // Opens an entry this folder listed, checked to be that very entry; INVALID_HANDLE_VALUE, with
    // the Windows error (ERROR_FILE_INVALID when it is no longer what was listed), when not.
    HANDLE OpenEntry(const CListedEntry& entry, ACCESS_MASK access, ULONG nShare, ULONG nOptions,
                     COpenedEntry& opened) const;
    // Removes the folder when nothing is left in it, through a handle checked to be this folder.
    void RemoveIfEmpty() const;

private:
    CHandle m_ownParent;           // the folder above, when this one was opened by path
    HANDLE m_hParent = INVALID_HANDLE_VALUE;
    std::wstring m_entryName;      // this folder's name in the folder above
    CHandle m_folder;
    std::wstring m_name;           // this folder's full name on its volume
    LONGLONG m_nFileId = 0;        // its number on its volume, as its handle tells it
    CString m_strPath;
};
