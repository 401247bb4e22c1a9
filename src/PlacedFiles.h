#pragma once
#include <unordered_map>
#include <vector>

#include "Afx.h"

// The files one installation run has put in place, so that the run never takes a file it
// installed itself for an existing one and replaces it. Folders are told apart by identity,
// so two spellings of one destination are one folder.
class CPlacedFiles
{
public:
    // Notes that the run put the file strName into the folder strFolder.
    void Add(const CString& strFolder, const CString& strName);
    // Whether the run put a file of that name (letter case aside) into that folder.
    bool Contains(const CString& strFolder, const CString& strName);

private:
    struct Folder
    {
        CString strPath;
        CFileIdentity identity;    // looked up only when a name clashes
        bool bLookedUp = false;
    };
    static std::wstring Key(const CString& strName);

    std::vector<Folder> m_folders;
    std::unordered_multimap<std::wstring, size_t> m_names;   // name key -> index in m_folders
};
