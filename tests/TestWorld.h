#pragma once
#include <optional>
#include <string>
#include <vector>

#include "Afx.h"

// A fresh folder in the prefix's temporary directory for one test, removed afterwards together
// with whatever an interrupted run of the same test left. Names are relative, with backslashes.
class CTestFolder
{
public:
    CTestFolder();
    ~CTestFolder();
    CTestFolder(const CTestFolder&) = delete;
    CTestFolder& operator=(const CTestFolder&) = delete;

    CString Path(const std::string& relative = "") const
    {
        return relative.empty() ? m_strRoot : m_strRoot + "\\" + CString(relative);
    }
    void Write(const std::string& relative, const std::string& content) const;
    std::optional<std::string> Read(const std::string& relative) const;
    std::vector<std::string> List(const std::string& relative = "") const;

private:
    CString m_strBase, m_strRoot;
};

// Every entry below a folder, sorted; folders end in a backslash, links are not followed.
std::vector<std::string> ListTree(const CString& path);
// Writes a file, creating the folders above it.
void WriteFileAt(const CString& path, const std::string& content);
std::optional<std::string> ReadFileAt(const CString& path);
// Removes a tree whatever its depth, read-only files and links included.
void RemoveTree(const CString& path);
// The built Ombrix.exe, in the folder above the test programs.
std::wstring BuiltProgramPath();
// A Unix symbolic link to a folder, which Wine shows as a reparse point.
bool MakeUnixLink(const CString& target, const CString& link);
// The prefix's Visual C++ record: a value of that type and raw bytes, or no key at all.
void SetVcRecord(std::optional<DWORD> type, const std::string& bytes = "");

// Makes a folder the current directory, which the installation takes as the package.
class CCurrentDirectory
{
public:
    explicit CCurrentDirectory(const CString& path);
    ~CCurrentDirectory();

private:
    std::wstring m_saved;
};

// A spare drive letter naming a folder for one scope: another spelling of that folder, or
// another file system when the folder is on one. Tests that map letters must not run at once.
class CSpareDrive
{
public:
    explicit CSpareDrive(const CString& folder);
    ~CSpareDrive();
    CSpareDrive(const CSpareDrive&) = delete;
    CSpareDrive& operator=(const CSpareDrive&) = delete;

    // Such as "P:\"; empty when no letter could be had.
    CString Root() const { return m_strRoot; }

private:
    bool Define(const char* pszUnixFolder);

    char m_letter;
    CString m_strRoot;
};
