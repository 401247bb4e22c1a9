#include "String.h"

#include <windows.h>
#include <cstring>

char* CString::GetBuffer(int nMinBufLength)
{
    if (nMinBufLength > GetLength())
        m_str.resize(static_cast<size_t>(nMinBufLength));
    return &m_str[0];
}

void CString::ReleaseBuffer(int nNewLength)
{
    if (nNewLength < 0)
        nNewLength = static_cast<int>(std::strlen(m_str.c_str()));
    m_str.resize(static_cast<size_t>(nNewLength));
}

CString& CString::Trim()
{
    const char* blanks = " \t\r\n";
    size_t first = m_str.find_first_not_of(blanks);
    if (first == std::string::npos)
        m_str.clear();
    else
        m_str = m_str.substr(first, m_str.find_last_not_of(blanks) - first + 1);
    return *this;
}

std::wstring Widen(const CString& str)
{
    int nChars = MultiByteToWideChar(CP_UTF8, 0, str, str.GetLength(), nullptr, 0);
    std::wstring wide(static_cast<size_t>(nChars), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, str, str.GetLength(), &wide[0], nChars);
    return wide;
}

CString Narrow(const wchar_t* psz, int nLength)
{
    if (nLength < 0)
        nLength = static_cast<int>(wcslen(psz));
    int nBytes = WideCharToMultiByte(CP_UTF8, 0, psz, nLength, nullptr, 0, nullptr, nullptr);
    CString str;
    WideCharToMultiByte(CP_UTF8, 0, psz, nLength, str.GetBuffer(nBytes), nBytes, nullptr, nullptr);
    str.ReleaseBuffer(nBytes);
    return str;
}
