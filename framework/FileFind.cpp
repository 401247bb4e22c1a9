#include "FileFind.h"

#include <winternl.h>

#include "FileOps.h"
#include "NtFile.h"

namespace {
// An entry found by path, in the form a held folder's listing gives (without a file number).
CListedEntry Listed(const WIN32_FIND_DATAW& found)
{
    CListedEntry entry;
    entry.name = found.cFileName;
    entry.dwAttributes = found.dwFileAttributes;
    entry.dwReparseTag = found.dwReserved0;
    entry.nCreationTime = (static_cast<LONGLONG>(found.ftCreationTime.dwHighDateTime) << 32) |
                          found.ftCreationTime.dwLowDateTime;
    return entry;
}

// One entry of a listing's buffer, with or without the file number.
template <typename Information>
CListedEntry Listed(const Information& found)
{
    CListedEntry entry;
    entry.name.assign(found.FileName, found.FileNameLength / sizeof(wchar_t));
    entry.dwAttributes = found.FileAttributes;
    entry.dwReparseTag = found.EaSize;    // a reparse point's tag stands where the size of its extended attributes would
    entry.nCreationTime = found.CreationTime.QuadPart;
    return entry;
}
}  // namespace

bool CFileFind::FindFile(const CString& strPattern)
{
    Close();
    std::wstring pattern = Widen(strPattern);
    size_t separator = pattern.find_last_of(L"\\/");
    m_strRoot = separator == std::wstring::npos ? CString() : Narrow(pattern.c_str(), static_cast<int>(separator));
    WIN32_FIND_DATAW found;
    m_hFind = ::FindFirstFileW(AfxFilePath(strPattern).c_str(), &found);
    m_bHaveNext = m_hFind != INVALID_HANDLE_VALUE;
    if (m_bHaveNext)
        m_next = Listed(found);
    // A missing folder and an empty drive root match nothing; anything else is a failure.
    DWORD dwError = m_bHaveNext ? ERROR_SUCCESS : ::GetLastError();
    m_bFailed = dwError != ERROR_SUCCESS && dwError != ERROR_FILE_NOT_FOUND && dwError != ERROR_PATH_NOT_FOUND;
    return m_bHaveNext;
}

bool CFileFind::FindFile(const CFolder& folder)
{
    Close();
    m_strRoot = folder.Path();
    m_hFolder = folder.Handle();
    m_bFailed = false;
    m_buffer.resize(16 << 10);
    m_bBufferDone = true;
    m_bRestart = true;
    m_bHaveNext = ReadNext();
    return m_bHaveNext;
}

bool CFileFind::FindNextFile()
{
    if (!m_bHaveNext)
        return false;
    m_current = m_next;
    m_bHaveNext = ReadNext();
    return m_bHaveNext;
}

// Reads the entry after the current one into m_next; false at the end or on a failure.
bool CFileFind::ReadNext()
{
    if (m_hFolder != INVALID_HANDLE_VALUE)
        return ReadNextListed();
    WIN32_FIND_DATAW found;
    if (!::FindNextFileW(m_hFind, &found)) {
        m_bFailed = ::GetLastError() != ERROR_NO_MORE_FILES;
        return false;
    }
    m_next = Listed(found);
    return true;
}

bool CFileFind::ReadNextListed()
{
    if (m_bBufferDone) {
        IO_STATUS_BLOCK io;
        bool bFirst = m_bRestart;
        m_bRestart = false;
        NTSTATUS status;
        for (;;) {
            FILE_INFORMATION_CLASS infoClass = m_bWithFileIds ? FileIdBothDirectoryInformation
                                                              : FileBothDirectoryInformation;
            status = ::NtQueryDirectoryFile(m_hFolder, nullptr, nullptr, nullptr, &io, m_buffer.data(),
                                            static_cast<ULONG>(m_buffer.size()), infoClass, FALSE, nullptr, bFirst);
            // Windows 2000, and some file systems, list no file numbers; their entries are then
            // known by their creation time.
            bool bNoFileIds = status == NtStatus::kInvalidInfoClass || status == NtStatus::kInvalidParameter ||
                              status == NtStatus::kNotImplemented || status == NtStatus::kNotSupported;
            if (!(bFirst && m_bWithFileIds && bNoFileIds))
                break;
            m_bWithFileIds = false;
        }
        if (status == NtStatus::kNoMoreFiles || status == NtStatus::kNoSuchFile)
            return false;
        if (!NT_SUCCESS(status)) {
            m_bFailed = true;
            return false;
        }
        m_nOffset = 0;
        m_bBufferDone = false;
    }
    const BYTE* pEntry = m_buffer.data() + m_nOffset;
    ULONG nNextOffset;
    if (m_bWithFileIds) {
        const auto& found = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFORMATION*>(pEntry);
        m_next = Listed(found);
        // A share whose server keeps no file numbers lists 0 for each.
        m_next.nFileId = found.FileId.QuadPart;
        m_next.bFileIdKnown = found.FileId.QuadPart != 0;
        nNextOffset = found.NextEntryOffset;
    } else {
        const auto& found = *reinterpret_cast<const FILE_BOTH_DIR_INFORMATION*>(pEntry);
        m_next = Listed(found);
        nNextOffset = found.NextEntryOffset;
    }
    m_nOffset += nNextOffset;
    m_bBufferDone = nNextOffset == 0;
    return true;
}

void CFileFind::Close()
{
    if (m_hFind != INVALID_HANDLE_VALUE)
        ::FindClose(m_hFind);
    m_hFind = INVALID_HANDLE_VALUE;
    m_hFolder = INVALID_HANDLE_VALUE;
    m_bHaveNext = false;
}

bool CFileFind::IsDots() const
{
    return m_current.name == L"." || m_current.name == L"..";
}

bool CFileFind::IsLink() const
{
    // Other reparse points, such as the placeholders of cloud-synced folders, hold their own data.
    DWORD dwTag = m_current.dwReparseTag;
    return (m_current.dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && (dwTag == 0 || IsReparseTagNameSurrogate(dwTag));
}
