// The world the tests build: folders, files, links, drives and registry values in the test
// prefix, made and removed through Wine and, where Wine cannot, through the Unix system.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "Afx.h"
#include "Messages.h"
#include "WindowDriver.h"

// The Unix path of a Windows path, through Wine's own mapping.
inline std::string UnixPath(const CString& path)
{
    using UnixName = char*(CDECL*)(LPCWSTR);
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* pszUnix = unixName ? unixName(Widen(path).c_str()) : nullptr;
    std::string unix = pszUnix ? pszUnix : "";
    ::HeapFree(::GetProcessHeap(), 0, pszUnix);
    return unix;
}

// Runs a program of the Unix system (Wine starts those too) and waits until the path it makes
// or removes is there or gone; Wine cannot wait for such a program itself.
inline void RunUnix(const wchar_t* pszProgram, const std::string& arguments, const CString& path, bool bMakes)
{
    CProgram program(pszProgram, L"", Widen(arguments));
    for (int nTry = 0; nTry < 1000 && (::GetFileAttributesW(AfxFilePath(path).c_str()) != INVALID_FILE_ATTRIBUTES) != bMakes;
         ++nTry)
        ::Sleep(5);
}

// A Unix symbolic link to a folder, which Wine shows as a reparse point with tag 0. Wine's
// CreateSymbolicLinkW makes nothing, so the system's own ln makes the link.
inline void MakeUnixLink(const CString& target, const CString& link)
{
    RunUnix(L"/bin/ln", "-s \"" + UnixPath(target) + "\" \"" + UnixPath(link) + "\"", link, true);
}

// Removes a tree, read-only files and links included. The system's rm takes a link as it is,
// even one whose target is gone, which Wine cannot.
inline void RemoveTree(const CString& path)
{
    if (::GetFileAttributesW(AfxFilePath(path).c_str()) != INVALID_FILE_ATTRIBUTES)
        RunUnix(L"/bin/rm", "-rf \"" + UnixPath(path) + "\"", path, false);
}

// Every entry below a folder, sorted; folders end in a backslash, links are not followed.
inline std::vector<std::string> ListTree(const CString& path)
{
    std::vector<std::string> entries;
    CFileFind finder;
    for (bool bMore = finder.FindFile(path + "\\*"); bMore;) {
        bMore = finder.FindNextFile();
        std::string name = finder.GetFileName().Str();
        if (finder.IsDots())
            continue;
        bool bFolder = finder.MatchesMask(FILE_ATTRIBUTE_DIRECTORY) && !finder.IsLink();
        entries.push_back(bFolder ? name + "\\" : name);
        for (const std::string& inner : bFolder ? ListTree(finder.GetFilePath()) : std::vector<std::string>())
            entries.push_back(name + "\\" + inner);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

// Writes a file, creating the folders above it; nothing where a file stands in the way.
inline void WriteFileAt(const CString& path, const std::string& content)
{
    std::filesystem::path file(AfxFilePath(path));
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    std::ofstream(file, std::ios::binary) << content;
}

inline std::optional<std::string> ReadFileAt(const CString& path)
{
    std::ifstream in(std::filesystem::path(AfxFilePath(path)), std::ios::binary);
    return in ? std::optional(std::string(std::istreambuf_iterator<char>(in), {})) : std::nullopt;
}

// The built Ombrix.exe, in the folder above the test program.
inline std::wstring BuiltProgramPath()
{
    wchar_t path[MAX_PATH];
    std::wstring program(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
    return program.substr(0, program.rfind(L'\\', program.rfind(L'\\') - 1)) + L"\\Ombrix.exe";
}

// Makes a folder the current directory, which the installation takes as the package, until
// what it returns goes.
inline std::shared_ptr<void> EnterFolder(const CString& path)
{
    std::wstring saved(::GetCurrentDirectoryW(0, nullptr), L'\0');
    saved.resize(::GetCurrentDirectoryW(static_cast<DWORD>(saved.size()), &saved[0]));
    EXPECT_TRUE(::SetCurrentDirectoryW(Widen(path).c_str())) << path;
    return std::shared_ptr<void>(nullptr, [saved](void*) { ::SetCurrentDirectoryW(saved.c_str()); });
}

// A fresh folder in the prefix's temporary directory, or on another file system (/dev/shm),
// for one test, named after it (what an interrupted run left there goes first) and removed
// afterwards. Names use backslashes.
class CTestFolder
{
public:
    explicit CTestFolder(bool bOnAnotherFileSystem = false)
    {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(test->test_suite_name()) + "." + test->name();
        std::replace(name.begin(), name.end(), '/', '_');
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        // /dev/shm is shared by every prefix, so a folder there is named after this prefix too,
        // and the next run of the test in this build tree finds what a killed one left.
        std::string tree = std::to_string(std::hash<std::string>()(UnixPath(Narrow(temp))));
        m_strRoot = bOnAnotherFileSystem ? "Z:\\dev\\shm\\ombrix-" + CString(tree + "-" + name)
                                         : Narrow(temp) + "ombrix-" + CString(name);
        RemoveTree(m_strRoot);
        ::CreateDirectoryW(AfxFilePath(m_strRoot).c_str(), nullptr);
    }
    ~CTestFolder() { RemoveTree(m_strRoot); }
    CString Path(const std::string& relative = "") const { return m_strRoot + CString(relative.empty() ? "" : "\\" + relative); }
    void Write(const std::string& relative, const std::string& content) const { WriteFileAt(Path(relative), content); }
    std::optional<std::string> Read(const std::string& relative) const { return ReadFileAt(Path(relative)); }
    std::vector<std::string> List(const std::string& relative = "") const { return ListTree(Path(relative)); }

private:
    CString m_strRoot;
};

// Drive R:, a view of C:\ombrix-readonly that refuses every change, as a CD or a read-only share
// looks to a program: tools/test.sh makes it a read-only bind mount, which needs root.
namespace ReadOnlyDrive
{
const char* const kWhy = "no read-only drive R: (tools/test.sh mounts it, as root)";
inline CString Path(const std::string& relative) { return "R:\\" + CString(relative); }
inline CString Writable(const std::string& relative) { return "C:\\ombrix-readonly\\" + CString(relative); }
// Whether R: shows what is written through C: and refuses a change; looked at once.
inline bool Available()
{
    static const bool bAvailable = [] {
        WriteFileAt(Writable("probe"), "seen");
        return ReadFileAt(Path("probe")) == "seen" && !::CreateDirectoryW(L"R:\\written", nullptr);
    }();
    return bAvailable;
}
}  // namespace ReadOnlyDrive
