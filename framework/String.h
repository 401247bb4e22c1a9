#pragma once
#include <string>

// An 8-bit string holding UTF-8: the program's one string type for paths and texts.
class CString
{
public:
    CString() = default;
    CString(const char* psz) : m_str(psz ? psz : "") {}
    CString(std::string str) : m_str(std::move(str)) {}

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    char GetAt(int nIndex) const { return m_str[static_cast<size_t>(nIndex)]; }
    const std::string& Str() const { return m_str; }
    // The first nCount characters (all of them when there are fewer).
    CString Left(int nCount) const { return CString(m_str.substr(0, static_cast<size_t>(nCount))); }
    operator const char*() const { return m_str.c_str(); }

    // A writable buffer of at least nMinBufLength characters plus the terminating zero.
    char* GetBuffer(int nMinBufLength);
    // Ends writing into the buffer; -1 takes the length up to the first zero.
    void ReleaseBuffer(int nNewLength = -1);

    // Removes blanks (spaces, tabs, line breaks) from both ends.
    CString& Trim();

    CString& operator+=(const CString& str) { m_str += str.m_str; return *this; }
    friend CString operator+(CString a, const CString& b) { return a += b; }
    friend CString operator+(CString a, const char* b) { return a += CString(b); }
    friend CString operator+(const char* a, const CString& b) { return CString(a) += b; }
    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator!=(const CString& a, const CString& b) { return a.m_str != b.m_str; }
    friend bool operator==(const CString& a, const char* b) { return a.m_str == b; }
    friend bool operator!=(const CString& a, const char* b) { return a.m_str != b; }

private:
    std::string m_str;
};

// UTF-8 to UTF-16 for a call into Windows.
std::wstring Widen(const CString& str);
// UTF-16 from Windows to UTF-8; nLength -1 means up to the terminating zero.
CString Narrow(const wchar_t* psz, int nLength = -1);
