#pragma once
#include <windows.h>

#include "String.h"

// Enumerates the entries of one directory that match a wildcard pattern.
class CFileFind
{
public:
    CFileFind() = default;
    ~CFileFind() { Close(); }
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    // Starts the enumeration; false when nothing matches, the directory missing included.
    bool FindFile(const CString& strPattern);
    // Makes the next entry current and returns whether yet another one follows it: the
    // entry made current is still to be handled when this returns false.
    bool FindNextFile();
    void Close();

    // The current entry is "." or "..".
    bool IsDots() const;
    // The current entry is a link to another place (a junction or a symbolic link), not a
    // file or folder of its own. Wine shows a Unix link as a reparse point with tag 0.
    bool IsLink() const;
    // The enumeration stopped on an error, not because the folder holds no more entries.
    bool Failed() const { return m_bFailed; }
    bool MatchesMask(DWORD dwMask) const { return (m_current.dwFileAttributes & dwMask) != 0; }
    CString GetFileName() const { return Narrow(m_current.cFileName); }
    // The searched directory, a backslash and the entry's name.
    CString GetFilePath() const { return m_strRoot + "\\" + GetFileName(); }

private:
    HANDLE m_hFind = INVALID_HANDLE_VALUE;
    bool m_bHaveNext = false;
    bool m_bFailed = false;
    WIN32_FIND_DATAW m_next = {};
    WIN32_FIND_DATAW m_current = {};
    CString m_strRoot;
};
