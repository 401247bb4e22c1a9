#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "String.h"

// A fresh folder in the Wine prefix's temporary directory for one test, removed afterwards.
// Relative names use backslashes and UTF-8.
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
    void MakeFolder(const std::string& relative) const;
    // A file's content, or nothing when it does not exist.
    std::optional<std::string> Read(const std::string& relative) const;
    bool Exists(const std::string& relative) const;
    // Every file and folder below the given folder, relative to it and sorted; folders end
    // in a backslash.
    std::vector<std::string> List(const std::string& relative = "") const;

private:
    std::filesystem::path m_root;
};

// The path of a UTF-8 name, as std::filesystem takes it on Windows.
std::filesystem::path FsPath(const CString& path);
// A whole file by its full path, or nothing when it cannot be read.
std::optional<std::string> ReadFileAt(const CString& path);
// The built Ombrix.exe, in the folder above the test programs.
std::wstring BuiltProgramPath();

// Makes a folder the current directory, which the installation takes as the package, for one
// scope.
class CCurrentDirectory
{
public:
    explicit CCurrentDirectory(const CString& path);
    ~CCurrentDirectory();
    CCurrentDirectory(const CCurrentDirectory&) = delete;
    CCurrentDirectory& operator=(const CCurrentDirectory&) = delete;

private:
    std::wstring m_saved;
};
