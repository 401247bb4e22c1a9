#include "Folder.h"

#include <winternl.h>

#include <vector>

#include "NtFile.h"

namespace {
// The folder part and the name part of a path, without the separators between them; a drive's
// root keeps its backslash ("C:\" and "VC7" of "C:\\VC7").
std::pair<std::wstring, std::wstring> SplitFolderPath(std::wstring path)
{
    while (path.size() > 1 && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    size_t nName = path.find_last_of(L"\\/") + 1;
    size_t nFolderEnd = path.find_last_not_of(L"\\/", nName - 1);
    std::wstring folder = path.substr(0, nFolderEnd == std::wstring::npos ? 0 : nFolderEnd + 1);
    if (folder.size() == 2 && folder[1] == L':')
        folder += L'\\';
    return {folder, path.substr(nName)};
}

// The full name on its volume of an open file or folder, as the file system gives it.
std::wstring FullNameOf(HANDLE hFile)
{
    std::vector<BYTE> buffer(sizeof(FILE_NAME_INFORMATION) + 32768 * sizeof(wchar_t));
    auto* pName = reinterpret_cast<FILE_NAME_INFORMATION*>(buffer.data());
    if (!AfxQueryInformation(hFile, pName, buffer.size(), FileNameInformation))
        return std::wstring();
    return std::wstring(pName->FileName, pName->FileNameLength / sizeof(wchar_t));
}

// The rights and options with which a folder is held for its walk.
const ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_TRAVERSE;
const ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
}  // namespace

bool AfxIsListedEntry(const CListedEntry& listed, const COpenedEntry& opened, const std::wstring& folderName)
{
    const DWORD dwKind = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    if ((opened.dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        (opened.dwAttributes & dwKind) != (listed.dwAttributes & dwKind))
        return false;
    std::wstring expected = folderName;
    if (expected.empty() || expected.back() != L'\\')
        expected += L'\\';
    if (AfxFileNameKey(opened.name) != AfxFileNameKey(expected + listed.name))
        return false;
    return listed.bFileIdKnown ? opened.nFileId == listed.nFileId : opened.nCreationTime == listed.nCreationTime;
}

bool CFolder::Open(const CString& strPath)
{
    auto [parent, name] = SplitFolderPath(Widen(strPath));
    if (parent.empty())
        parent = L".";
    m_ownParent.Reset(::CreateFileW(AfxFilePath(Narrow(parent.c_str())).c_str(), kFolderAccess, kShareAll, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!m_ownParent.IsValid())
        return false;
    m_hParent = m_ownParent.Get();
    m_strPath = strPath;
    m_entryName = name;
    COpenedEntry opened;
    m_folder.Reset(AfxOpenRelative(m_hParent, name, kFolderAccess, kShareAll, FILE_DIRECTORY_FILE));
    if (!m_folder.IsValid() || !AfxQueryOpened(m_folder.Get(), opened))
        return false;
    // Not listed, so any folder is what was asked for, if it is one of its own, reached under its name.
    CListedEntry self;
    self.name = name;
    self.dwAttributes = FILE_ATTRIBUTE_DIRECTORY;
    self.nFileId = opened.nFileId;
    self.bFileIdKnown = true;
    if (!AfxIsListedEntry(self, opened, FullNameOf(m_hParent))) {
        m_folder.Close();
        ::SetLastError(ERROR_FILE_INVALID);
        return false;
    }
    m_name = opened.name;
    m_nFileId = opened.nFileId;
    return true;
}

bool CFolder::Open(const CFolder& parent, const CListedEntry& entry)
{
    m_hParent = parent.Handle();
    m_strPath = parent.Path() + "\\" + Narrow(entry.name.c_str());
    m_entryName = entry.name;
    COpenedEntry opened;
    m_folder.Reset(parent.OpenEntry(entry, kFolderAccess, kShareAll, FILE_DIRECTORY_FILE, opened));
    if (!m_folder.IsValid())
        return false;
    m_name = opened.name;
    m_nFileId = opened.nFileId;
    return true;
}

bool CFolder::IsFolder(const CFileIdentity& identity) const
{
    // The file number comes with the open; the volume, which costs more to ask, only where it matches.
    return identity.bKnown && identity.nIndex == static_cast<ULONGLONG>(m_nFileId) &&
           AfxGetFileIdentity(m_folder.Get()) == identity;
}

bool CFolder::IsOnReadOnlyVolume() const
{
    BYTE buffer[sizeof(FILE_FS_ATTRIBUTE_INFORMATION) + MAX_PATH * sizeof(wchar_t)];
    auto* pAttributes = reinterpret_cast<FILE_FS_ATTRIBUTE_INFORMATION*>(buffer);
    IO_STATUS_BLOCK io;
    return NT_SUCCESS(::NtQueryVolumeInformationFile(m_folder.Get(), &io, pAttributes, sizeof buffer,
                                                     FileFsAttributeInformation)) &&
           (pAttributes->FileSystemAttributes & FILE_READ_ONLY_VOLUME);
}

HANDLE CFolder::OpenEntry(const CListedEntry& entry, ACCESS_MASK access, ULONG nShare, ULONG nOptions,
                          COpenedEntry& opened) const
{
    CHandle opening(AfxOpenRelative(m_folder.Get(), entry.name, access, nShare, nOptions));
    if (!opening.IsValid() || !AfxQueryOpened(opening.Get(), opened))
        return INVALID_HANDLE_VALUE;
    if (!AfxIsListedEntry(entry, opened, m_name)) {
        ::SetLastError(ERROR_FILE_INVALID);
        return INVALID_HANDLE_VALUE;
    }
    return opening.Release();
}

void CFolder::RemoveIfEmpty() const
{
    // Its file number tells it: a link in its place is opened as itself or, under Wine, followed
    // to another folder, and a folder cannot have a second name. A folder with anything left in
    // it refuses the mark.
    CHandle self(AfxOpenRelative(m_hParent, m_entryName, DELETE, kShareAll, FILE_DIRECTORY_FILE));
    FILE_INTERNAL_INFORMATION internal = {};
    if (self.IsValid() && AfxQueryInformation(self.Get(), &internal, sizeof internal, FileInternalInformation) &&
        internal.IndexNumber.QuadPart == m_nFileId)
        AfxMarkForDeletion(self.Get(), true);
}
