#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Afx.h"

// Every entry below a folder, sorted; folders end in a backslash, links are not followed.
std::vector<std::string> ListTree(const CString& path);
// Writes a file, creating the folders above it.
void WriteFileAt(const CString& path, const std::string& content);
std::optional<std::string> ReadFileAt(const CString& path);
// Removes a tree, read-only files and links included.
void RemoveTree(const CString& path);
// The Unix path of a Windows path, through Wine's own mapping.
std::string UnixPath(const CString& path);
// The built Ombrix.exe, in the folder above the test programs.
std::wstring BuiltProgramPath();
// A Unix symbolic link to a folder, which Wine shows as a reparse point with tag 0.
void MakeUnixLink(const CString& target, const CString& link);
// The prefix's Visual C++ record: a value of that type and raw bytes, or no key at all.
void SetVcRecord(std::optional<DWORD> type, const std::string& bytes = "");

// A fresh folder in the prefix's temporary directory, or on another file system (/dev/shm),
// for one test, named after it (what an interrupted run left there goes first) and removed
// afterwards. Names use backslashes.
class CTestFolder
{
public:
    explicit CTestFolder(bool bOnAnotherFileSystem = false);
    ~CTestFolder() { RemoveTree(m_strRoot); }
    CString Path(const std::string& relative = "") const
    {
        return relative.empty() ? m_strRoot : m_strRoot + "\\" + CString(relative);
    }
    void Write(const std::string& relative, const std::string& content) const { WriteFileAt(Path(relative), content); }
    std::optional<std::string> Read(const std::string& relative) const { return ReadFileAt(Path(relative)); }
    std::vector<std::string> List(const std::string& relative = "") const { return ListTree(Path(relative)); }

private:
    CString m_strRoot;
};

// Makes a folder the current directory, which the installation takes as the package, until
// what it returns goes.
std::shared_ptr<void> EnterFolder(const CString& path);
