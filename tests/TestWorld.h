#pragma once
#include <optional>
#include <string>
#include <vector>

#include "Afx.h"

// A fresh folder in the prefix's temporary directory for one test, removed afterwards with
// whatever an earlier, interrupted run left under another name. Relative names use
// backslashes and UTF-8.
class CTestFolder
{
public:
    CTestFolder();
    ~CTestFolder();
    CTestFolder(const CTestFolder&) = delete;
    CTestFolder& operator=(const CTestFolder&) = delete;

    // The folder itself, or an entry below it.
    CString Path(const std::string& relative = "") const;
    // Writes a file, creating the folders above it.
    void Write(const std::string& relative, const std::string& content) const;
    std::optional<std::string> Read(const std::string& relative) const;
    bool Exists(const std::string& relative) const;
    // Every entry below the given folder, relative to it and sorted; folders end in a backslash.
    std::vector<std::string> List(const std::string& relative = "") const;

private:
    CString m_strBase;
    CString m_strRoot;
};

// Every entry below a folder, relative to it and sorted; folders end in a backslash, and a
// link is listed as an entry, not followed.
std::vector<std::string> ListTree(const CString& path);
// Writes a file by its full path, creating the folders above it.
void WriteFileAt(const CString& path, const std::string& content);
// A whole file by its full path, or nothing when it cannot be read.
std::optional<std::string> ReadFileAt(const CString& path);
// Removes a tree with Windows' own functions, whatever its depth, read-only files included.
void RemoveTree(const CString& path);
// The built Ombrix.exe, in the folder above the test programs.
std::wstring BuiltProgramPath();
// A Unix symbolic link at linkPath to target (both Windows paths), as Wine shows links.
bool MakeUnixLink(const CString& target, const CString& linkPath);
// The prefix's Visual C++ record: a value of the given type and raw bytes, or none at all.
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

// A spare drive letter naming a folder, through Wine's mount manager, for one scope: another
// spelling of that folder, or another file system when the folder is on one.
class CSpareDrive
{
public:
    explicit CSpareDrive(const CString& folder);
    ~CSpareDrive();
    CSpareDrive(const CSpareDrive&) = delete;
    CSpareDrive& operator=(const CSpareDrive&) = delete;

    // The drive's root, such as "P:\"; empty when no letter could be mapped.
    CString Root() const;
    // The first letter from P on that names no drive.
    static char SpareLetter();

private:
    bool Define(const char* pszUnixFolder);

    char m_letter;
    bool m_bMapped = false;
};
