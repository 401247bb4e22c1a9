#include "TestWorld.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <gtest/gtest.h>

#include "Messages.h"
#include "WindowDriver.h"

namespace {
// Runs a program of the Unix system (Wine starts those too) and waits until the path it makes
// or removes is there or gone; Wine cannot wait for such a program itself.
void RunUnix(const wchar_t* pszProgram, const std::string& arguments, const CString& path, bool bMakes)
{
    CProgram program(pszProgram, L"", Widen(arguments));
    for (int nTry = 0; nTry < 1000 && (::GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES) != bMakes;
         ++nTry)
        ::Sleep(5);
}
}  // namespace

std::string UnixPath(const CString& path)
{
    using UnixName = char*(CDECL*)(LPCWSTR);
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* pszUnix = unixName ? unixName(Widen(path).c_str()) : nullptr;
    std::string unix = pszUnix ? pszUnix : "";
    ::HeapFree(::GetProcessHeap(), 0, pszUnix);
    return unix;
}

CTestFolder::CTestFolder(bool bOnAnotherFileSystem)
{
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    std::replace(name.begin(), name.end(), '/', '_');
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    // /dev/shm is shared by every prefix, so a folder there is named apart from other runs' too.
    m_strRoot = bOnAnotherFileSystem
                    ? "Z:\\dev\\shm\\ombrix-" + CString(name + "-" + std::to_string(std::random_device()()))
                    : Narrow(temp) + "ombrix-" + CString(name);
    RemoveTree(m_strRoot);
    ::CreateDirectoryW(AfxFilePath(m_strRoot).c_str(), nullptr);
}

std::vector<std::string> ListTree(const CString& path)
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

void WriteFileAt(const CString& path, const std::string& content)
{
    std::filesystem::path file(AfxFilePath(path));
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
}

std::optional<std::string> ReadFileAt(const CString& path)
{
    std::ifstream in(std::filesystem::path(AfxFilePath(path)), std::ios::binary);
    return in ? std::optional(std::string(std::istreambuf_iterator<char>(in), {})) : std::nullopt;
}

void RemoveTree(const CString& path)
{
    // The system's rm takes a link as it is, even one whose target is gone, which Wine cannot.
    if (::GetFileAttributesW(AfxFilePath(path).c_str()) != INVALID_FILE_ATTRIBUTES)
        RunUnix(L"/bin/rm", "-rf \"" + UnixPath(path) + "\"", path, false);
}

std::wstring BuiltProgramPath()
{
    wchar_t path[MAX_PATH];
    std::wstring program(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
    return program.substr(0, program.rfind(L'\\', program.rfind(L'\\') - 1)) + L"\\Ombrix.exe";
}

void MakeUnixLink(const CString& target, const CString& link)
{
    // Wine's CreateSymbolicLinkW makes nothing, so the system's own ln makes the link.
    RunUnix(L"/bin/ln", "-s \"" + UnixPath(target) + "\" \"" + UnixPath(link) + "\"", link, true);
}

void SetVcRecord(std::optional<DWORD> type, const std::string& bytes)
{
    // REG_NONE: the key holds another value only.
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kVcSetupKey);
    if (type)
        ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kVcSetupKey, *type == REG_NONE ? L"Other" : kVcSetupValue, *type,
                          bytes.data(), static_cast<DWORD>(bytes.size()));
}

std::shared_ptr<void> EnterFolder(const CString& path)
{
    std::wstring saved(::GetCurrentDirectoryW(0, nullptr), L'\0');
    saved.resize(::GetCurrentDirectoryW(static_cast<DWORD>(saved.size()), &saved[0]));
    EXPECT_TRUE(::SetCurrentDirectoryW(Widen(path).c_str())) << path;
    return std::shared_ptr<void>(nullptr, [saved](void*) { ::SetCurrentDirectoryW(saved.c_str()); });
}

// The test program is an application of its own, so the framework finds an application
// object (its title, its icons) as the real program does.
CWinApp theTestApp;
