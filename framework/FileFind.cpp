#include "FileFind.h"

#include <cwchar>

#include "FileOps.h"

bool CFileFind::FindFile(const CString& strPattern)
{
    Close();
    std::wstring pattern = Widen(strPattern);
    size_t separator = pattern.find_last_of(L"\\/");
    m_strRoot = separator == std::wstring::npos ? CString() : Narrow(pattern.c_str(), static_cast<int>(separator));
    m_hFind = ::FindFirstFileW(AfxFilePath(strPattern).c_str(), &m_next);
    m_bHaveNext = m_hFind != INVALID_HANDLE_VALUE;
    // A missing folder and an empty drive root match nothing; anything else is a failure.
    DWORD dwError = m_bHaveNext ? ERROR_SUCCESS : ::GetLastError();
    m_bFailed = dwError != ERROR_SUCCESS && dwError != ERROR_FILE_NOT_FOUND && dwError != ERROR_PATH_NOT_FOUND;
    return m_bHaveNext;
}

bool CFileFind::FindNextFile()
{
    if (!m_bHaveNext)
        return false;
    m_current = m_next;
    m_bHaveNext = ::FindNextFileW(m_hFind, &m_next) != FALSE;
    m_bFailed = !m_bHaveNext && ::GetLastError() != ERROR_NO_MORE_FILES;
    return m_bHaveNext;
}

void CFileFind::Close()
{
    if (m_hFind != INVALID_HANDLE_VALUE)
        ::FindClose(m_hFind);
    m_hFind = INVALID_HANDLE_VALUE;
    m_bHaveNext = false;
}

bool CFileFind::IsDots() const
{
    return std::wcscmp(m_current.cFileName, L".") == 0 || std::wcscmp(m_current.cFileName, L"..") == 0;
}

bool CFileFind::IsLink() const
{
    // Other reparse points, such as the placeholders of cloud-synced folders, hold their own data.
    DWORD dwTag = m_current.dwReserved0;
    return (m_current.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && (dwTag == 0 || IsReparseTagNameSurrogate(dwTag));
}
