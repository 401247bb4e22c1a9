#include "PlacedFiles.h"

void CPlacedFiles::Add(const CString& strFolder, const CString& strName)
{
    // The files of one folder come one after another.
    if (m_folders.empty() || m_folders.back().strPath != strFolder)
        m_folders.push_back(Folder{strFolder, CFileIdentity(), false});
    m_names.emplace(Key(strName), m_folders.size() - 1);
}

bool CPlacedFiles::Contains(const CString& strFolder, const CString& strName)
{
    auto [first, last] = m_names.equal_range(Key(strName));
    if (first == last)
        return false;
    CFileIdentity folder = AfxGetFileIdentity(strFolder);
    for (auto it = first; it != last; ++it) {
        Folder& placed = m_folders[it->second];
        if (!placed.bLookedUp) {
            placed.identity = AfxGetFileIdentity(placed.strPath);
            placed.bLookedUp = true;
        }
        if (placed.identity == folder)
            return true;
    }
    return false;
}

// Names that Windows takes for one file: compared without letter case, as the file system does.
std::wstring CPlacedFiles::Key(const CString& strName)
{
    return AfxFileNameKey(Widen(strName));
}
