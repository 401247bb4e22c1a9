#pragma once
#include <windows.h>

#include <vector>

#include "Folder.h"
#include "String.h"

// Enumerates the entries of one directory: those that match a wildcard pattern, or all those of
// a folder held open, listed through its handle with each entry's file number.
class CFileFind
{
public:
    CFileFind() = default;
    ~CFileFind() { Close(); }
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    // Starts the enumeration; false when nothing matches, the directory missing included.
    bool FindFile(const CString& strPattern);
    // Starts the enumeration of a folder held open; false when it holds nothing.
    bool FindFile(const CFolder& folder);
    // Makes the next entry current and returns whether yet another one follows it: the
    // entry made current is still to be handled when this returns false.
    bool FindNextFile();
    void Close();

    // The current entry is "." or "..".
    bool IsDots() const;
    // The current entry is a link to another place (a junction or a symbolic link), not a
    // file or folder of its own. Wine shows a Unix link to a folder as a reparse point with tag 0.
    bool IsLink() const;
    // The enumeration stopped on an error, not because the folder holds no more entries.
    bool Failed() const { return m_bFailed; }
    bool MatchesMask(DWORD dwMask) const { return (m_current.dwAttributes & dwMask) != 0; }
    CString GetFileName() const { return Narrow(m_current.name.c_str()); }
    // The searched directory, a backslash and the entry's name.
    CString GetFilePath() const { return m_strRoot + "\\" + GetFileName(); }
    // The current entry as the listing showed it.
    const CListedEntry& GetEntry() const { return m_current; }

private:
    bool ReadNext();
    bool ReadNextListed();

    HANDLE m_hFind = INVALID_HANDLE_VALUE;
    HANDLE m_hFolder = INVALID_HANDLE_VALUE;   // a held folder's handle, not ours to close
    bool m_bWithFileIds = true;    // Windows 2000 lists no file numbers
    std::vector<BYTE> m_buffer;    // a held folder's entries, as the last read returned them
    size_t m_nOffset = 0;          // of the next entry in the buffer
    bool m_bBufferDone = true;
    bool m_bRestart = false;       // the next read is the listing's first
    bool m_bHaveNext = false;
    bool m_bFailed = false;
    CListedEntry m_next;
    CListedEntry m_current;
    CString m_strRoot;
};
