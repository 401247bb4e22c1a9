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
    bool MatchesMask(DWORD dwMask) const { return (m_current.dwFileAttributes & dwMask) != 0; }
    CString GetFileName() const { return Narrow(m_current.cFileName); }
    // The searched directory, a backslash and the entry's name.
    CString GetFilePath() const { return m_strRoot + "\\" + GetFileName(); }

private:
    HANDLE m_hFind = INVALID_HANDLE_VALUE;
    bool m_bHaveNext = false;
    WIN32_FIND_DATAW m_next = {};
    WIN32_FIND_DATAW m_current = {};
    CString m_strRoot;
};
